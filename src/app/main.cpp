// Program entry: the application title, then the windows in their creation order, then the
// message loop.
#include "app/main_window.h"
#include "widgets/message_sink.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quallon Cartucheira Digital"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quallon Cartucheira Digital"));

    widgets::DialogMessageSink messages;
    app::MainWindowEnvironment env;
    env.programDir = QCoreApplication::applicationDirPath();
    env.messages = &messages;

    app::Tfrm_botonera window(env);
    if (window.creationRefused()) {
        return 0;
    }
    window.showOnScreen();
    return QApplication::exec();
}

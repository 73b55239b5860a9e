// Program entry: the application title, then the windows in their creation order, then the
// message loop.
#include "app/hint_look.h"
#include "app/main_window.h"
#include "app/window_remote_control.h"
#include "audio/engine/sound_engine.h"
#include "widgets/dialog_message_sink.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quallon Cartucheira Digital"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quallon Cartucheira Digital"));

    app::applyHintLook(application);

    widgets::DialogMessageSink messages;
    const std::unique_ptr<audio::engine::SoundEngine> sound = audio::engine::makeSoundEngine();
    app::MainWindowEnvironment env;
    env.programDir = QCoreApplication::applicationDirPath();
    env.messages = &messages;
    env.sound = sound.get();

    app::MainWindow window(env);
    if (window.creationRefused()) {
        return 0;
    }
    app::WindowRemoteControl remoteControl(window, messages); // OSC and MIDI
    window.showOnScreen();
    return QApplication::exec();
}

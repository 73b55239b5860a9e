#include "widgets/dialog_message_sink.h"

#include <QApplication>
#include <QMessageBox>

namespace widgets {

namespace {
QString applicationTitle() {
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QApplication::applicationName() : name;
}
// The box's parent: the window that has the operator's attention. A box without a parent could
// open behind a window that stays on top.
QWidget* owningWindow() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    return QApplication::activeModalWidget();
}
// messages separate their lines with carriage returns; the message box breaks lines on "\n".
QString displayText(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}
} // namespace

void DialogMessageSink::showMessage(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(icon == Icon::Error         ? QMessageBox::Critical
                    : icon == Icon::Information ? QMessageBox::Information
                                                : QMessageBox::NoIcon,
                    title.isEmpty() ? applicationTitle() : title, displayText(text),
                    QMessageBox::Ok, owningWindow());
    box.exec();
}

bool DialogMessageSink::confirm(const QString& text) {
    QApplication::beep();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quallon Sistemas"), displayText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, owningWindow());
    return box.exec() == QMessageBox::Ok;
}

} // namespace widgets

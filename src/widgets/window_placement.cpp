#include "widgets/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

namespace widgets {

void centreOnScreen(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent != nullptr ? parent->screen() : window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    QRect area(QPoint(), window.frameGeometry().size());
    area.moveCenter(screen->geometry().center());
    window.move(area.topLeft());
}

} // namespace widgets

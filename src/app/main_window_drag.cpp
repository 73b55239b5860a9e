// Moving the borderless window by dragging the background of the control strip (the shared
// window mover), and the keys and hints the window's event filter sees first.
#include "app/control_strip.h"
#include "app/main_window.h"
#include "widgets/window_mover.h"

#include <QKeyEvent>

namespace app {

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (isKeyForThisWindow(watched, event)) {
        onWindowKey(static_cast<QKeyEvent*>(event)); // never consumed
    }
    if (showLoudnessHint(watched, event)) {
        return true;
    }
    if (watched == strip_ && event->type() == QEvent::MouseMove) {
        showProfileStatus();
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::isDragging() const {
    return mover_->isMoving();
}

} // namespace app

// Moving the borderless window by dragging the background of the control strip: an outline
// follows the pointer and the window moves when the button is released.
#include "app/control_strip.h"
#include "app/main_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>

namespace app {

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (isKeyForThisWindow(watched, event)) {
        onWindowKey(static_cast<QKeyEvent*>(event)); // never consumed
    }
    if (showLoudnessHint(watched, event)) {
        return true;
    }
    if (watched == strip_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            onStripPress(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseMove:
            onStripMove(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonRelease:
            onStripRelease(static_cast<QMouseEvent*>(event));
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QRect MainWindow::dragOutline(const QPoint& point) const {
    const QPoint delta = point - dragStart_;
    return geometry().translated(delta);
}

void MainWindow::onStripPress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    strip_->grabMouse();
    dragStart_ = event->position().toPoint();
    if (!dragOutline_) {
        dragOutline_ = std::make_unique<QRubberBand>(QRubberBand::Rectangle);
    }
    dragOutline_->setGeometry(geometry());
    dragOutline_->show();
    dragging_ = true;
}

void MainWindow::onStripMove(QMouseEvent* event) {
    showProfileStatus();
    if (!dragging_) {
        return;
    }
    dragOutline_->setGeometry(dragOutline(event->position().toPoint()));
}

void MainWindow::onStripRelease(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) {
        return;
    }
    strip_->releaseMouse();
    dragOutline_->hide();
    const QPoint delta = event->position().toPoint() - dragStart_;
    move(pos() + delta);
    dragging_ = false;
}

} // namespace app

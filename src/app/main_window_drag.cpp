// Moving the borderless window by dragging the background of the control strip: an outline
// follows the pointer and the window moves when the button is released.
#include "app/main_window.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>

namespace app {

bool Tfrm_botonera::eventFilter(QObject* watched, QEvent* event) {
    if (isKeyForThisWindow(watched, event)) {
        FormKeyDown(static_cast<QKeyEvent*>(event)); // never consumed
    }
    if (watched == Panel2) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            Panel2MouseDown(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseMove:
            Panel2MouseMove(static_cast<QMouseEvent*>(event));
            break;
        case QEvent::MouseButtonRelease:
            Panel2MouseUp(static_cast<QMouseEvent*>(event));
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QRect Tfrm_botonera::dragOutline(const QPoint& point) const {
    const QPoint delta = point - dragStart_;
    return geometry().translated(delta);
}

void Tfrm_botonera::Panel2MouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    Panel2->grabMouse();
    dragStart_ = event->position().toPoint();
    dragLast_ = dragStart_;
    if (dragOutline_ == nullptr) {
        dragOutline_ = new QRubberBand(QRubberBand::Rectangle); // top level: drawn over the screen
    }
    dragOutline_->setGeometry(geometry());
    dragOutline_->show();
    Arrastando = true;
}

void Tfrm_botonera::Panel2MouseMove(QMouseEvent* event) {
    showProfileStatus();
    if (!Arrastando) {
        return;
    }
    dragLast_ = event->position().toPoint();
    dragOutline_->setGeometry(dragOutline(dragLast_));
}

void Tfrm_botonera::Panel2MouseUp(QMouseEvent* event) {
    if (!Arrastando || event->button() != Qt::LeftButton) {
        return;
    }
    Panel2->releaseMouse();
    dragOutline_->hide();
    const QPoint delta = event->position().toPoint() - dragStart_;
    move(pos() + delta);
    Arrastando = false;
}

} // namespace app

#include "widgets/window_mover.h"

#include <QMouseEvent>
#include <QRubberBand>
#include <QWidget>

namespace widgets {

WindowMover::WindowMover(QWidget& window) : QObject(&window), window_(window) {}

WindowMover::~WindowMover() = default;

void WindowMover::addHandle(QWidget* handle) {
    handle->installEventFilter(this);
}

QRect WindowMover::outline() const {
    return isMoving() ? outline_->geometry() : QRect();
}

bool WindowMover::eventFilter(QObject* watched, QEvent* event) {
    auto* handle = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        press(handle, static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseMove:
        follow(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        release(static_cast<QMouseEvent*>(event));
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QPoint WindowMover::offset(QMouseEvent* event) const {
    return event->globalPosition().toPoint() - pressPoint_;
}

void WindowMover::press(QWidget* handle, QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || isMoving())
        return;
    handle->grabMouse(); // the outline follows the pointer outside the window too
    handle_ = handle;
    pressPoint_ = event->globalPosition().toPoint();
    if (!outline_)
        outline_ = std::make_unique<QRubberBand>(QRubberBand::Rectangle);
    outline_->setGeometry(window_.frameGeometry());
    outline_->show();
}

void WindowMover::follow(QMouseEvent* event) {
    if (isMoving())
        outline_->setGeometry(window_.frameGeometry().translated(offset(event)));
}

void WindowMover::release(QMouseEvent* event) {
    if (!isMoving() || event->button() != Qt::LeftButton)
        return;
    handle_->releaseMouse();
    handle_ = nullptr;
    outline_->hide();
    window_.move(window_.pos() + offset(event));
}

} // namespace widgets

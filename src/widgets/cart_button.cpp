#include "widgets/cart_button.h"
#include "widgets/assign.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace widgets {

CartButton::CartButton(QWidget* parent)
    : QPushButton(parent), buttonColor_(palette().color(QPalette::Button)) {
    // The owner follows the pointer over every button (status line, current cart).
    setMouseTracking(true);
    // paintEvent covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(false);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { onFocusChanged(now); });
}

void CartButton::setButtonColor(const QColor& color) {
    if (assignIfChanged(buttonColor_, color)) {
        update();
    }
}

void CartButton::setFrameColor(const QColor& color) {
    if (assignIfChanged(frameColor_, color)) {
        update();
    }
}

void CartButton::setFrameWidth(int width) {
    if (assignIfChanged(frameWidth_, std::max(width, 0))) {
        update();
    }
}

void CartButton::setBadge(const QString& text) {
    badge_ = text;
    update();
}

void CartButton::setCaption(const QString& text) {
    if (assignIfChanged(caption_, text)) {
        update();
    }
}

void CartButton::setFontColor(const QColor& color) {
    if (assignIfChanged(fontColor_, color)) {
        update();
    }
}

void CartButton::onFocusChanged(QWidget* now) {
    if (now == nullptr || now->window() != window()) {
        return;
    }
    isActive_ = qobject_cast<QPushButton*>(now) != nullptr ? now == this : isDefault();
}

// Mouse events end at the button, whatever QAbstractButton makes of them: moves and presses
// over a cart must not reach the panels below, which have handlers of their own.
void CartButton::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button(), event->modifiers(), event->position().toPoint());
    QPushButton::mousePressEvent(event);
    event->accept();
}

// Two quick clicks must fire a cart twice: the second press of a double click is an
// ordinary press, and its release an ordinary click.
void CartButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void CartButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->buttons(), event->modifiers(), event->position().toPoint());
    QPushButton::mouseMoveEvent(event);
    event->accept();
}

void CartButton::mouseReleaseEvent(QMouseEvent* event) {
    // QAbstractButton clicks only when the release hits the button; a suppressed click is a
    // release that misses, which also ends the pressed state cleanly.
    releasingWithoutClick_ = !clickEnabled_;
    QPushButton::mouseReleaseEvent(event);
    releasingWithoutClick_ = false;
    event->accept();
}

bool CartButton::hitButton(const QPoint& pos) const {
    return !releasingWithoutClick_ && rect().contains(pos);
}

void CartButton::keyReleaseEvent(QKeyEvent* event) {
    const bool pressKey = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    if (!clickEnabled_ && pressKey && !event->isAutoRepeat() && isDown()) {
        setDown(false);
        emit released();
        event->accept();
        return;
    }
    QPushButton::keyReleaseEvent(event);
}

void CartButton::dragEnterEvent(QDragEnterEvent* event) {
    event->ignore();
    emit dragEntered(event);
}

void CartButton::dragMoveEvent(QDragMoveEvent* event) {
    event->ignore();
    emit dragMoved(event);
}

void CartButton::dropEvent(QDropEvent* event) {
    event->ignore();
    emit dropped(event);
}

} // namespace widgets

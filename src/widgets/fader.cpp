#include "widgets/fader.h"
#include "widgets/assign.h"
#include "widgets/paint_helpers.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace widgets {

namespace {
constexpr int kGrooveThickness = 6;

bool isSliderKey(int key) {
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}
} // namespace

Fader::Fader(QWidget* parent)
    : QWidget(parent), thumbColor_(palette().color(QPalette::Button)),
      grooveColor_(palette().color(QPalette::Button)), color_(palette().color(QPalette::Button)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Fader::setMinValue(int value) {
    min_ = value;
    max_ = std::max(max_, min_ + 1);
    applyPosition(position_);
    update();
}

void Fader::setMaxValue(int value) {
    max_ = std::max(value, min_ + 1);
    applyPosition(position_);
    update();
}

void Fader::setPosition(int value) {
    applyPosition(value);
}

// Clamps, stores and announces a new position; true when it changed.
bool Fader::applyPosition(int value) {
    if (!assignIfChanged(position_, std::clamp(value, min_, max_))) {
        return false;
    }
    update();
    emit change(position_);
    return true;
}

void Fader::setOrientation(Orientation orientation) {
    if (assignIfChanged(orientation_, orientation)) {
        update();
    }
}

void Fader::setThumbWidth(int pixels) {
    if (assignIfChanged(thumbWidth_, std::max(pixels, 1))) {
        update();
    }
}

void Fader::setThumbHeight(int pixels) {
    if (assignIfChanged(thumbHeight_, std::max(pixels, 1))) {
        update();
    }
}

void Fader::setThumbColor(const QColor& color) {
    if (assignIfChanged(thumbColor_, color)) {
        update();
    }
}

void Fader::setGrooveColor(const QColor& color) {
    if (assignIfChanged(grooveColor_, color)) {
        update();
    }
}

void Fader::setColor(const QColor& color) {
    if (assignIfChanged(color_, color)) {
        update();
    }
}

int Fader::trackLength() const {
    return isHorizontal() ? width() : height();
}
int Fader::thumbAlong() const {
    return isHorizontal() ? thumbWidth_ : thumbHeight_;
}
int Fader::thumbAcross() const {
    return isHorizontal() ? thumbHeight_ : thumbWidth_;
}

// Pixels from the minimum end of the track to the thumb.
int Fader::thumbOffset() const {
    const int span = trackLength() - thumbAlong();
    if (span <= 0) {
        return 0;
    }
    const double offset = double(position_ - min_) * span / double(max_ - min_);
    return std::clamp(int(std::lround(offset)), 0, span);
}

QRect Fader::thumbRect() const {
    const int along = thumbOffset();
    if (isHorizontal()) {
        return QRect(along, (height() - thumbHeight_) / 2, thumbWidth_, thumbHeight_);
    }
    return QRect((width() - thumbWidth_) / 2, height() - thumbHeight_ - along, thumbWidth_,
                 thumbHeight_);
}

// The value that puts the thumb's centre under the pointer.
int Fader::valueAtPointer(QPoint pos) const {
    const int span = trackLength() - thumbAlong();
    if (span <= 0) {
        return min_;
    }
    const int along = isHorizontal() ? pos.x() : height() - 1 - pos.y();
    const double value = min_ + double(along - thumbAlong() / 2) * (max_ - min_) / span;
    return int(std::lround(std::clamp(value, double(min_), double(max_))));
}

void Fader::userMoveTo(int value) {
    if (applyPosition(value)) {
        tracked_ = true;
        emit track(position_);
    }
}

void Fader::endTracking() {
    if (tracked_) {
        tracked_ = false;
        emit trackEnd(position_);
    }
}

void Fader::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    dragging_ = thumbRect().contains(pos);
    if (dragging_) {
        pressPoint_ = pos;
        pressPosition_ = position_;
    } else {
        applyPosition(valueAtPointer(pos));
    }
    tracked_ = true;
    emit track(position_);
}

void Fader::mouseMoveEvent(QMouseEvent* event) {
    const int span = trackLength() - thumbAlong();
    if (!dragging_ || !(event->buttons() & Qt::LeftButton) || span <= 0) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    // Upwards counts positive on a vertical track.
    const int travel = isHorizontal() ? pos.x() - pressPoint_.x() : pressPoint_.y() - pos.y();
    const double value = pressPosition_ + double(travel) * (max_ - min_) / span;
    userMoveTo(int(std::lround(std::clamp(value, double(min_), double(max_)))));
}

void Fader::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    endTracking();
}

void Fader::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (!isSliderKey(key)) {
        QWidget::keyPressEvent(event);
        return;
    }
    // 64-bit sums, so a huge step (one that jumps to an end) cannot overflow.
    const auto step = [this](qint64 delta) {
        return int(std::clamp<qint64>(position_ + delta, min_, max_));
    };
    const int top = isHorizontal() ? min_ : max_;
    const int bottom = isHorizontal() ? max_ : min_;
    switch (key) {
    case Qt::Key_PageUp:
        userMoveTo(step(pageSize_));
        break;
    case Qt::Key_PageDown:
        userMoveTo(step(-qint64(pageSize_)));
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        userMoveTo(step(lineSize_));
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        userMoveTo(step(-qint64(lineSize_)));
        break;
    case Qt::Key_Home:
        userMoveTo(top);
        break;
    case Qt::Key_End:
        userMoveTo(bottom);
        break;
    }
    event->accept();
}

void Fader::keyReleaseEvent(QKeyEvent* event) {
    if (!isSliderKey(event->key()) || event->isAutoRepeat()) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    endTracking();
    event->accept();
}

void Fader::paintGroove(QPainter& p) const {
    const int half = thumbAlong() / 2;
    const int length = trackLength() - 2 * half;
    const int across = isHorizontal() ? height() : width();
    const int start = (across - kGrooveThickness) / 2;
    const QRect groove = isHorizontal() ? QRect(half, start, length, kGrooveThickness)
                                        : QRect(start, half, kGrooveThickness, length);
    const EdgeRect inner =
        drawButtonBevel(p, EdgeRect::fromQRect(groove), true, bevelColors(palette()));
    fillEdgeRect(p, inner, grooveColor_);
}

void Fader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), color_);
    paintGroove(p);
    const EdgeRect thumb = EdgeRect::fromQRect(thumbRect());
    fillEdgeRect(p, drawButtonBevel(p, thumb, false, bevelColors(palette())), thumbColor_);
    if (hasFocus()) {
        drawFocusDots(p, EdgeRect::fromQRect(rect()));
    }
}

} // namespace widgets

#include "widgets/led_meter.h"
#include "widgets/assign.h"

#include <QPainter>

#include <algorithm>

namespace widgets {

namespace {
int zoneIndex(int zone) {
    return std::clamp(zone, 1, 3) - 1;
}
} // namespace

LedMeter::LedMeter(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LedMeter::setKind(Kind kind) {
    if (assignIfChanged(kind_, kind)) {
        invalidateUnlit();
    }
}

void LedMeter::setDirection(Direction direction) {
    if (assignIfChanged(direction_, direction)) {
        invalidateUnlit();
    }
}

void LedMeter::setProgress(int level) {
    if (assignIfChanged(progress_, std::clamp(level, 0, 100))) {
        update();
    }
}

void LedMeter::setPoint1(int percent) {
    if (assignIfChanged(point1_, std::clamp(percent, 1, 100))) {
        invalidateUnlit();
    }
}

void LedMeter::setPoint2(int percent) {
    if (assignIfChanged(point2_, std::clamp(percent, 1, 100))) {
        invalidateUnlit();
    }
}

QColor LedMeter::barColor(int zone) const {
    return barColors_[zoneIndex(zone)];
}

// Lit colours are drawn over the unlit picture on every paint, so they need no rebuild.
void LedMeter::setBarColor(int zone, const QColor& color) {
    if (assignIfChanged(barColors_[zoneIndex(zone)], color)) {
        update();
    }
}

QColor LedMeter::inactiveColor(int zone) const {
    return inactiveColors_[zoneIndex(zone)];
}

void LedMeter::setInactiveColor(int zone, const QColor& color) {
    if (assignIfChanged(inactiveColors_[zoneIndex(zone)], color)) {
        invalidateUnlit();
    }
}

void LedMeter::setSpotWidth(int pixels) {
    if (assignIfChanged(spotWidth_, std::max(pixels, 1))) {
        invalidateUnlit();
    }
}

void LedMeter::setSpotSpace(int pixels) {
    if (assignIfChanged(spotSpace_, std::clamp(pixels, 0, 10))) {
        invalidateUnlit();
    }
}

void LedMeter::setColor(const QColor& color) {
    if (assignIfChanged(color_, color)) {
        invalidateUnlit();
    }
}

LedMeter::Layout LedMeter::layout() const {
    Layout g;
    g.length = kind_ == Horizontal ? width() : height();
    g.spot = std::clamp(spotWidth_, 1, std::max(1, g.length / 3));
    const int step = g.spot + spotSpace_;
    g.count = std::max(1, (g.length + spotSpace_) / step);
    g.margin = (spotSpace_ + g.length - g.count * step) / 2;
    g.limit1 = point1_ * g.count / 100;
    g.limit2 = point2_ * g.count / 100;
    return g;
}

int LedMeter::zoneOf(const Layout& g, int segment) const {
    return segment <= g.limit1 ? 1 : segment <= g.limit2 ? 2 : 3;
}

// Segment 1 is at the start end: left or bottom when normal, right or top when reversed.
QRect LedMeter::segmentRect(const Layout& g, int segment) const {
    const int fromStart = g.margin + (segment - 1) * (g.spot + spotSpace_);
    const int fromEnd = g.length - fromStart - g.spot;
    if (kind_ == Horizontal) {
        return QRect(direction_ == Normal ? fromStart : fromEnd, 0, g.spot, height());
    }
    return QRect(0, direction_ == Normal ? fromEnd : fromStart, width(), g.spot);
}

void LedMeter::drawSegments(QPainter& p, const Layout& g, int first, int last, bool lit) const {
    for (int i = first; i <= last; ++i) {
        const int zone = zoneOf(g, i);
        p.fillRect(segmentRect(g, i), lit ? barColor(zone) : inactiveColor(zone));
    }
}

void LedMeter::invalidateUnlit() {
    unlitValid_ = false;
    update();
}

void LedMeter::rebuildUnlit() {
    const qreal ratio = devicePixelRatioF();
    unlit_ = QPixmap(size() * ratio);
    unlit_.setDevicePixelRatio(ratio);
    unlit_.fill(color_);
    QPainter p(&unlit_);
    const Layout g = layout();
    drawSegments(p, g, 1, g.count, false);
    unlitValid_ = true;
}

void LedMeter::paintEvent(QPaintEvent*) {
    if (!unlitValid_) {
        rebuildUnlit();
    }
    QPainter p(this);
    p.drawPixmap(0, 0, unlit_);
    const Layout g = layout();
    drawSegments(p, g, 1, std::min(g.count, progress_ * g.count / 100), true);
}

void LedMeter::resizeEvent(QResizeEvent* event) {
    unlitValid_ = false;
    QWidget::resizeEvent(event);
}

} // namespace widgets

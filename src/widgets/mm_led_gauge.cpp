#include "widgets/mm_led_gauge.h"

#include <QPainter>

#include <algorithm>

namespace widgets {

namespace {
int zoneIndex(int zone) {
    return std::clamp(zone, 1, 3) - 1;
}
} // namespace

TMMLEDGauge::TMMLEDGauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMMLEDGauge::setKind(Kind kind) {
    if (kind != kind_) {
        kind_ = kind;
        invalidateUnlit();
    }
}

void TMMLEDGauge::setDirection(Direction direction) {
    if (direction != direction_) {
        direction_ = direction;
        invalidateUnlit();
    }
}

void TMMLEDGauge::setProgress(int level) {
    level = std::clamp(level, 0, 100);
    if (level != progress_) {
        progress_ = level;
        update();
    }
}

void TMMLEDGauge::setPoint1(int percent) {
    percent = std::clamp(percent, 1, 100);
    if (percent != point1_) {
        point1_ = percent;
        invalidateUnlit();
    }
}

void TMMLEDGauge::setPoint2(int percent) {
    percent = std::clamp(percent, 1, 100);
    if (percent != point2_) {
        point2_ = percent;
        invalidateUnlit();
    }
}

QColor TMMLEDGauge::barColor(int zone) const {
    return barColors_[zoneIndex(zone)];
}

void TMMLEDGauge::setBarColor(int zone, const QColor& color) {
    QColor& slot = barColors_[zoneIndex(zone)];
    if (color != slot) {
        slot = color;
        update();
    }
}

QColor TMMLEDGauge::inactiveColor(int zone) const {
    return inactiveColors_[zoneIndex(zone)];
}

void TMMLEDGauge::setInactiveColor(int zone, const QColor& color) {
    QColor& slot = inactiveColors_[zoneIndex(zone)];
    if (color != slot) {
        slot = color;
        invalidateUnlit();
    }
}

void TMMLEDGauge::setSpotWidth(int pixels) {
    pixels = std::max(pixels, 1);
    if (pixels != spotWidth_) {
        spotWidth_ = pixels;
        invalidateUnlit();
    }
}

void TMMLEDGauge::setSpotSpace(int pixels) {
    pixels = std::clamp(pixels, 0, 10);
    if (pixels != spotSpace_) {
        spotSpace_ = pixels;
        invalidateUnlit();
    }
}

void TMMLEDGauge::setColor(const QColor& color) {
    if (color != color_) {
        color_ = color;
        invalidateUnlit();
    }
}

TMMLEDGauge::Layout TMMLEDGauge::layout() const {
    Layout g;
    g.length = kind_ == gkHorizontal ? width() : height();
    g.spot = std::clamp(spotWidth_, 1, std::max(1, g.length / 3));
    const int step = g.spot + spotSpace_;
    g.count = std::max(1, (g.length + spotSpace_) / step);
    g.margin = (spotSpace_ + g.length - g.count * step) / 2;
    g.limit1 = point1_ * g.count / 100;
    g.limit2 = point2_ * g.count / 100;
    return g;
}

int TMMLEDGauge::zoneOf(const Layout& g, int segment) const {
    return segment <= g.limit1 ? 1 : segment <= g.limit2 ? 2 : 3;
}

// Segment 1 is at the start end: left or bottom when normal, right or top when reversed.
QRect TMMLEDGauge::segmentRect(const Layout& g, int segment) const {
    const int fromStart = g.margin + (segment - 1) * (g.spot + spotSpace_);
    const int fromEnd = g.length - fromStart - g.spot;
    if (kind_ == gkHorizontal) {
        return QRect(direction_ == dirNormal ? fromStart : fromEnd, 0, g.spot, height());
    }
    return QRect(0, direction_ == dirNormal ? fromEnd : fromStart, width(), g.spot);
}

void TMMLEDGauge::drawSegments(QPainter& p, const Layout& g, int first, int last, bool lit) const {
    for (int i = first; i <= last; ++i) {
        const int zone = zoneOf(g, i);
        p.fillRect(segmentRect(g, i), lit ? barColor(zone) : inactiveColor(zone));
    }
}

void TMMLEDGauge::invalidateUnlit() {
    unlitValid_ = false;
    update();
}

void TMMLEDGauge::rebuildUnlit() {
    const qreal ratio = devicePixelRatioF();
    unlit_ = QPixmap(size() * ratio);
    unlit_.setDevicePixelRatio(ratio);
    unlit_.fill(color_);
    QPainter p(&unlit_);
    const Layout g = layout();
    drawSegments(p, g, 1, g.count, false);
    unlitValid_ = true;
}

void TMMLEDGauge::paintEvent(QPaintEvent*) {
    if (!unlitValid_) {
        rebuildUnlit();
    }
    QPainter p(this);
    p.drawPixmap(0, 0, unlit_);
    const Layout g = layout();
    drawSegments(p, g, 1, std::min(g.count, progress_ * g.count / 100), true);
}

void TMMLEDGauge::resizeEvent(QResizeEvent* event) {
    unlitValid_ = false;
    QWidget::resizeEvent(event);
}

} // namespace widgets

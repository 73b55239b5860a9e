#include "widgets/paint_helpers.h"

#include <QPainter>
#include <QPalette>
#include <QPolygon>

#include <algorithm>

namespace widgets {

namespace {

// One ring of a bevel: the top and left edges in one colour, the bottom and right edges
// (including both far corners) in the other.
void drawRing(QPainter& p, const EdgeRect& r, const QColor& topLeft, const QColor& bottomRight) {
    if (r.isEmpty()) {
        return;
    }
    fillEdgeRect(p, {r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    fillEdgeRect(p, {r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    fillEdgeRect(p, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    fillEdgeRect(p, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

} // namespace

EdgeRect centredBox(const EdgeRect& area, int w, int h) {
    const int left = area.left + (area.width() - w + 1) / 2;
    const int top = area.top + (area.height() - h + 1) / 2;
    return {left, top, left + w, top + h};
}

void fillEdgeRect(QPainter& p, const EdgeRect& r, const QColor& color) {
    if (!r.isEmpty()) {
        p.fillRect(r.toQRect(), color);
    }
}

void drawPenFrame(QPainter& p, const EdgeRect& r, int penWidth, const QColor& color) {
    const int width = std::max(penWidth, 1);
    const int outside = width / 2;
    const int inside = width - outside;
    const EdgeRect outer = r.shrunk(-outside);
    fillEdgeRect(p, {outer.left, outer.top, outer.right, r.top + inside}, color);
    fillEdgeRect(p, {outer.left, r.bottom - inside, outer.right, outer.bottom}, color);
    fillEdgeRect(p, {outer.left, outer.top, r.left + inside, outer.bottom}, color);
    fillEdgeRect(p, {r.right - inside, outer.top, outer.right, outer.bottom}, color);
}

BevelColors bevelColors(const QPalette& palette) {
    return {palette.color(QPalette::Light), palette.color(QPalette::Midlight),
            palette.color(QPalette::Dark), QColor(Qt::black)};
}

EdgeRect drawButtonBevel(QPainter& p, const EdgeRect& r, bool sunken, const BevelColors& c) {
    if (sunken) {
        drawRing(p, r, c.shadow, c.highlight);
        drawRing(p, r.shrunk(1), c.darkShadow, c.light);
    } else {
        drawRing(p, r, c.highlight, c.darkShadow);
        drawRing(p, r.shrunk(1), c.light, c.shadow);
    }
    return r.shrunk(2);
}

void drawFocusDots(QPainter& p, const EdgeRect& r) {
    if (r.isEmpty()) {
        return;
    }
    QPolygon dots;
    for (int x = r.left; x < r.right; x += 2) {
        dots << QPoint(x, r.top) << QPoint(x, r.bottom - 1);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        dots << QPoint(r.left, y) << QPoint(r.right - 1, y);
    }
    p.save();
    p.setPen(QPen(Qt::white, 0));
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.drawPoints(dots);
    p.restore();
}

} // namespace widgets

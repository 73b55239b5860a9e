#pragma once
// Drawing pieces shared by the owner-drawn widgets: pen frames, two-pixel bevels and the
// dotted focus rectangle, all pixel-exact (no antialiasing).
#include <QColor>
#include <QRect>

class QPainter;
class QPalette;

namespace widgets {

// A rectangle with exclusive right and bottom edges, so that insets, centring and edge sums
// come out in whole pixels without QRect's inclusive corner.
struct EdgeRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static EdgeRect fromQRect(const QRect& r) {
        return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    EdgeRect shrunk(int d) const { return {left + d, top + d, right - d, bottom - d}; }
    EdgeRect moved(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    QRect toQRect() const { return isEmpty() ? QRect() : QRect(left, top, width(), height()); }
    bool operator==(const EdgeRect&) const = default;
};

// A w x h box centred in `area`, the odd pixel going to the right and down.
EdgeRect centredBox(const EdgeRect& area, int w, int h);

// Hollow rectangle with a pen `penWidth` pixels wide centred on the edges of `r`: half the
// pen lies outside `r`, half inside. Widths 0 and 1 give one pixel on the edge itself.
void drawPenFrame(QPainter& p, const EdgeRect& r, int penWidth, const QColor& color);

void fillEdgeRect(QPainter& p, const EdgeRect& r, const QColor& color);

// The four colours of a classic push-button bevel.
struct BevelColors {
    QColor highlight;  // outer top-left when raised, outer bottom-right when sunken
    QColor light;      // inner top-left when raised, inner bottom-right when sunken
    QColor shadow;     // inner bottom-right when raised, outer top-left when sunken
    QColor darkShadow; // outer bottom-right when raised, inner top-left when sunken
};
BevelColors bevelColors(const QPalette& palette);

// Draws a two-pixel push-button bevel just inside `r` and returns its interior.
EdgeRect drawButtonBevel(QPainter& p, const EdgeRect& r, bool sunken, const BevelColors& colors);

// One-pixel frame of every other pixel, inverting what lies below, so drawing it twice
// erases it.
void drawFocusDots(QPainter& p, const EdgeRect& r);

} // namespace widgets

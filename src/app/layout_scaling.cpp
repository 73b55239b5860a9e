#include "app/layout_scaling.h"

#include <cmath>
#include <cstdint>

namespace app {

int mulDiv(int a, int m, int d) {
    if (d == 0) {
        return 0;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * m;
    const std::int64_t half = std::abs(static_cast<std::int64_t>(d)) / 2;
    const bool negative = (product < 0) != (d < 0);
    const std::int64_t magnitude =
        (std::abs(product) + half) / std::abs(static_cast<std::int64_t>(d));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect scaleBy(const QRect& r, int m, int d) {
    const int left = mulDiv(r.x(), m, d);
    const int top = mulDiv(r.y(), m, d);
    const int width = mulDiv(r.x() + r.width(), m, d) - left;
    const int height = mulDiv(r.y() + r.height(), m, d) - top;
    return QRect(left, top, width, height);
}

int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value)); // default rounding mode: ties to even
}

namespace {
// 100 / (reference / extent): the extent as a percentage of the reference. A quotient that
// cannot be formed (extent 0 gives a division by zero) is 0.
double percentOf(int reference, int extent) {
    if (extent == 0) {
        return 0.0;
    }
    const double ratio = static_cast<double>(reference) / extent;
    if (ratio == 0.0 || !std::isfinite(ratio)) {
        return 0.0;
    }
    return 100.0 / ratio;
}
} // namespace

QRect fitToWindow(const QRect& r, int refWidth, int refHeight, int width, int height) {
    const double pw = percentOf(refWidth, r.width());
    const double pl = percentOf(refWidth, r.x());
    const double ph = percentOf(refHeight, r.height());
    const double pt = percentOf(refHeight, r.y());
    return QRect(roundHalfEven(width * pl / 100.0), roundHalfEven(height * pt / 100.0),
                 roundHalfEven(width * pw / 100.0), roundHalfEven(height * ph / 100.0));
}

} // namespace app

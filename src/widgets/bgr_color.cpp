#include "widgets/bgr_color.h"

namespace widgets {

QColor colorFromBgr(int bgr) {
    const auto value = static_cast<unsigned>(bgr);
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

int bgrFromColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

} // namespace widgets

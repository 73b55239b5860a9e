#pragma once
// The cart model keeps colours as 00BBGGRR integers (red in the low byte); widgets take QColor.
#include <QColor>

namespace widgets {

// Only the low 24 bits count; anything above them is ignored.
QColor colorFromBgr(int bgr);
int bgrFromColor(const QColor& color);

} // namespace widgets

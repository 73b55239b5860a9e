#pragma once
// The fonts the windows are laid out for, named as the layout names them. Linux lacks those
// Windows fonts, so each is mapped to a metric-compatible one (Liberation, installed with the
// program): captions keep the widths they were designed for instead of a wider fallback's.
#include <QFont>

namespace widgets {

inline constexpr auto kInterfaceFamily = "MS Sans Serif";
inline constexpr auto kCartFamily = "Times New Roman";

// The interface font at a size in pixels (pixels: true) or points.
QFont interfaceFont(int size, bool pixels = true, bool bold = false);
// The cart buttons' font, in points.
QFont cartFont(int points);
// Maps the layout's Windows fonts to their metric-compatible stand-ins; idempotent. The font
// functions above call it, so every window built with them gets the mapping.
void installFontSubstitutes();

} // namespace widgets

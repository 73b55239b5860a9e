#pragma once
// Proportional layout arithmetic of the main window, kept free of widgets so it can be tested.
#include <QRect>

namespace app {

// a * m / d rounded to the nearest integer, halves away from zero (0 when d is 0).
int mulDiv(int a, int m, int d);

// The usual proportional scaling of a control by m/d: the left/top edges and the
// right/bottom edges are scaled, so neighbouring controls stay adjacent.
QRect scaleBy(const QRect& r, int m, int d);

// Nearest integer, ties to even.
int roundHalfEven(double value);

// Fits one control designed for a window of refWidth x refHeight to a window of
// width x height. Each quotient is computed in floating point; one that cannot be formed
// (a zero width or left, height or top) counts as 0.
QRect fitToWindow(const QRect& r, int refWidth, int refHeight, int width, int height);

} // namespace app

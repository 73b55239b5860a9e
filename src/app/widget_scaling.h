#pragma once
#include <QWidget>

namespace app {

// The proportional scaling of a window by m/d: every descendant's position and size, and every
// font height in the tree, the root's own font (which controls that set none inherit) included.
// Each font is scaled exactly once, whether a control set it or inherits it.
void scaleWidgetTree(QWidget& root, int m, int d);

} // namespace app

#pragma once
#include <QWidget>

namespace widgets {

// Centres a top-level window (frame included) on the screen of its parent, else on its own
// screen, else on the primary screen.
void centreOnScreen(QWidget& window);

} // namespace widgets

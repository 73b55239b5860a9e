#pragma once
// A row of the search window dropped on a cart: the cart takes the row's name and file, its
// length is measured, and its face colour comes from the search window's colour list when one
// was chosen beforehand, else from the colour dialog. A cart that is loaded, or even on air,
// is replaced without asking; its player goes on with the old audio until it stops.
#include "search/dragged_row.h"

namespace carts {
class CartButtons;
class CartEditing;
class Wall;
} // namespace carts

namespace app {

void loadDraggedRow(carts::Wall& wall, carts::CartButtons& buttons, carts::CartEditing& editing,
                    int cartNumber, const search::DraggedRow& row);

} // namespace app

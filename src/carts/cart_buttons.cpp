#include "carts/cart_buttons.h"

namespace carts {

void refreshWall(const CartTable& table, CartButtons& buttons) {
    for (int n = 1; n <= kCartCount; ++n)
        buttons.applyFace(table.face(n));
}

} // namespace carts

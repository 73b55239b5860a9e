#include "carts/cart_table.h"

#include <stdexcept>
#include <string>

namespace carts {

namespace {

int checkedCartNumber(int n) {
    if (!isCartNumber(n))
        throw std::out_of_range("cart number " + std::to_string(n) + " outside 1..96");
    return n;
}

} // namespace

std::size_t CartTable::index(int n) {
    return static_cast<std::size_t>(checkedCartNumber(n) - 1);
}

CartFace CartTable::face(int n) const {
    const Cart& cart = (*this)[n];
    return {n, cart.caption(), cartHint(), cart.faceColour(), cart.captionColour()};
}

void Wall::cartEdited(int n) {
    profileChanged = true;
    if (onCartEdited) {
        onCartEdited(n);
    }
}

} // namespace carts

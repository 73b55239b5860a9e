#pragma once
// The model of the wall: the 96 cart slots and the state that goes with them. The main window
// owns one Wall and passes it to whoever reads or edits carts; everything runs on the
// user-interface thread, so nothing here is locked.
#include "carts/cart.h"

#include <array>
#include <functional>

namespace carts {

inline constexpr int kCartCount = 96;
inline constexpr int kCartsPerRow = 8;
inline QString cartHint() {
    return QStringLiteral("Clique com o botão direito do Mouse para Listar as funções");
}

constexpr bool isCartNumber(int n) {
    return n >= 1 && n <= kCartCount;
}
// Carts run row by row, 8 to a row, both counted from 0: cart 9 is row 1, column 0.
constexpr int cartNumberAt(int row, int column) {
    return row * kCartsPerRow + column + 1;
}

// What the wall refresh gives cart button n.
struct CartFace {
    int tag = 0;
    QString caption;
    QString hint;
    Colour faceColour = kDefaultFaceColour;
    Colour captionColour = kDefaultCaptionColour;
    bool operator==(const CartFace&) const = default;
};

// `table`: slots 1..96. A number outside 1..96 is a programming error and throws
// std::out_of_range rather than touching memory that is not a slot.
class CartTable {
public:
    Cart& operator[](int n) { return slots_[index(n)]; }
    const Cart& operator[](int n) const { return slots_[index(n)]; }
    Cart& slot(int n) { return (*this)[n]; }
    const Cart& slot(int n) const { return (*this)[n]; }

    // The look of button n after a wall refresh (`refreshWall`); the badge, frame, block
    // flag and player of the cart are not part of it.
    CartFace face(int n) const;

private:
    static std::size_t index(int n);
    std::array<Cart, kCartCount> slots_{};
};

class Wall {
public:
    CartTable table;
    Cart copyBuffer;        // copy buffer of "Copiar" / "Colar"
    QString currentProfile; // name of the current profile
    bool profileChanged = false;

    // What a profile line stores of cart n changed (its loop flag aside, which every click
    // clears): the wall is changed, and onCartEdited hears of it.
    void cartEdited(int n);
    std::function<void(int cartNumber)> onCartEdited;
};

} // namespace carts

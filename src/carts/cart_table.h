#pragma once
// The model of the wall: the 96 cart slots and the state that goes with them. The main window
// owns one CartWall and passes it to whoever reads or edits carts; everything runs on the
// user-interface thread, so nothing here is locked.
#include "carts/cartucho.h"

#include <array>

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
    int faceColour = kCorPadrao;
    int captionColour = kCorFontePadrao;
    bool operator==(const CartFace&) const = default;
};

// `Cartuchos`: slots 1..96. A number outside 1..96 is a programming error and throws
// std::out_of_range rather than touching memory that is not a slot.
class CartTable {
public:
    TCartucho& operator[](int n) { return slots_[index(n)]; }
    const TCartucho& operator[](int n) const { return slots_[index(n)]; }
    TCartucho& slot(int n) { return (*this)[n]; }
    const TCartucho& slot(int n) const { return (*this)[n]; }

    // The look of button n after a wall refresh (`AtualizaParede`); the badge, frame, block
    // flag and player of the cart are not part of it.
    CartFace face(int n) const;

private:
    static std::size_t index(int n);
    std::array<TCartucho, kCartCount> slots_{};
};

class CartWall {
public:
    CartTable Cartuchos;
    TCartucho CopiaCartucho; // copy buffer of "Copiar" / "Colar"
    QString PerfilAtual;     // name of the current profile
    bool PerfilAlterado = false;

    // 0 until set; once set always one of 1..96. Setting another number throws out_of_range.
    int CartuchoAtual() const { return cartuchoAtual_; }
    int CartuchoMouse() const { return cartuchoMouse_; }
    void setCartuchoAtual(int n);
    void setCartuchoMouse(int n);
    // The pointer moved over cart n: it becomes both the mouse cart and the current cart.
    void mouseMovedOver(int n);

    // The current cart's slot; throws out_of_range while CartuchoAtual is not set.
    TCartucho& atual() { return Cartuchos[cartuchoAtual_]; }

private:
    int cartuchoAtual_ = 0;
    int cartuchoMouse_ = 0;
};

} // namespace carts

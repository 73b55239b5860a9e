#pragma once
// The wall: a sunken black panel with the status line on top and the 96 cart buttons below it,
// 12 rows of 8, at their design geometry. It builds its children and shows what it is told;
// the main window connects the buttons to the firing and editing logic.
#include <QFrame>
#include <QList>

#include "carts/cart_table.h"

#include <array>

class QLabel;

namespace widgets {
class CartButton;
}

namespace app {

class CartWallPanel : public QFrame {
    Q_OBJECT
public:
    // `hint` is every cart button's tooltip until a wall refresh gives them their own.
    CartWallPanel(const QString& hint, QWidget* parent);

    widgets::CartButton* cartButton(int n) const; // n = 1..96, else nullptr
    int cartNumberOf(const QObject* object) const; // 0 when it is none of the 96 buttons
    QLabel* statusLabel() const { return statusLabel_; }
    // The status label, then carts 1..96: the controls the proportional layout fits.
    QList<QWidget*> controls() const;

private:
    void buildCartButtons(const QString& hint);

    QLabel* statusLabel_ = nullptr;
    std::array<widgets::CartButton*, carts::kCartCount + 1> carts_{}; // index 0 unused
};

} // namespace app

#pragma once
// Shows the wall session on the window's controls and forwards their input to it: each cart
// button renders its cart's look, the strip its block, clock, meters, CUE switch and profile
// box, the status line its text; clicks, presses, the fader, the switches and the profile
// buttons become session commands. It also keeps the cart under the pointer, which only the
// window knows.
#include <QObject>

namespace session {
class WallSession;
}

namespace app {

class CartWallPanel;
class ControlStrip;

class WallBinding : public QObject {
    Q_OBJECT
public:
    WallBinding(session::WallSession& session, CartWallPanel& panel, ControlStrip& strip,
                QObject* parent);

    // The cart last under the pointer (the target of Alt and the cart menu); 0 before any.
    int pointedCart() const { return pointedCart_; }
    void setPointedCart(int n);

signals:
    void pointerMovedToCart(int n); // the pointer entered another cart

private:
    void renderCart(int n);
    void renderClock();
    void renderBlock();
    void renderCueSwitch();
    void renderProfileBox();
    void connectCartButtons();
    void connectStrip();

    session::WallSession& session_;
    CartWallPanel& panel_;
    ControlStrip& strip_;
    int pointedCart_ = 0;
    bool fillingProfileBox_ = false;
};

} // namespace app

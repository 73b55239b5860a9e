#pragma once
// The cart buttons as the editing commands and the wall refresh see them: button n shows
// cart n. The main window implements this over its 96 buttons.
#include "carts/cart_table.h"

namespace carts {

class CartButtons {
public:
    virtual ~CartButtons() = default;
    virtual void setCaption(int cartNumber, const QString& caption) = 0;
    virtual void setFaceColour(int cartNumber, Colour colour) = 0;
    virtual void setCaptionColour(int cartNumber, Colour colour) = 0;
    // Number, caption, hint and both colours of button face.tag; badge, frame, block flag and
    // player stay as they are.
    virtual void applyFace(const CartFace& face) = 0;
};

// `refreshWall`: every button 1..96 takes its look from its slot again.
void refreshWall(const CartTable& table, CartButtons& buttons);

} // namespace carts

#include "app/search_drop.h"

#include "carts/cart_buttons.h"
#include "carts/cart_editing.h"
#include "carts/cart_table.h"
#include "core/text_helpers.h"

namespace app {

void loadDraggedRow(carts::Wall& wall, carts::CartButtons& buttons, carts::CartEditing& editing,
                    int cartNumber, const search::DraggedRow& row) {
    wall.setCurrentCart(cartNumber);
    carts::Cart& slot = wall.table[cartNumber];
    slot.name = row.name;
    slot.path = row.path;
    slot.colourText = QString::number(carts::kDefaultFaceColour);
    buttons.setFaceColour(cartNumber, carts::kDefaultFaceColour);
    buttons.setCaption(cartNumber,
                       core::leftChars(row.name, carts::kCaptionLength).trimmed().toUpper());
    editing.measureDuration(cartNumber); // a file gone since the search: the player says so
    wall.profileChanged = true;
    if (row.presetColour)
        editing.applyNewCartColour(cartNumber, row.presetColour);
    else
        editing.chooseNewCartColour(cartNumber);
    slot.captionColourText = QString::number(carts::kDefaultCaptionColour);
    buttons.setCaptionColour(cartNumber, carts::kDefaultCaptionColour);
}

} // namespace app

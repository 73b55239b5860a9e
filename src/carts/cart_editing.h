#pragma once
// The commands of the cart pop-up menu and the file-manager drop, without widgets: they edit
// the slots of a Wall and tell the buttons, players and dialogs what to do through plain
// interfaces. Every command acts on currentCart (the drop on mouseCart) and does nothing
// while that is not set. User-interface thread only.
#include "carts/cart_buttons.h"
#include "carts/cart_table.h"
#include "carts/editing_ports.h"

#include <QList>
#include <QUrl>

#include <optional>

namespace core {
class MessageSink;
}

namespace carts {

// Enabled items and check marks of the cart menu for the current cart, named after the items.
struct CartMenuState {
    bool about = true;
    bool insertAudio = true;
    bool deleteAudio = false;
    bool chooseColour = false;
    bool defaultColour = false;
    bool chooseCaptionColour = false;
    bool properties = false;
    bool preferences = false;
    bool rename = false;
    bool loop = false;
    bool copy = false;
    bool paste = false;
    bool searchAudio = true;
    bool profileList = true;
    // Neither stop mode is checked while stopModeText is neither "1" nor "0".
    bool stopWithCutChecked = false;
    bool stopWithFadeChecked = false;
    bool loopChecked = false;
    bool operator==(const CartMenuState&) const = default;
};

inline QString reservedRedMessage() {
    return QStringLiteral("Vermelho cor Reservada para o Sistema");
}
inline QString cartPlayingMessage() {
    return QStringLiteral("Cartucho em Execução - Aguarde o Término");
}
inline QString invalidAudioMessage() {
    return QStringLiteral("Arquivo de áudio Inválido: ");
}
inline QString replaceCartQuestion() {
    return QStringLiteral("Cartucho já está carregado, Deseja substitui-lo ??");
}

// The cart name a file gives: the text after the last "\" or "/", at most 255 characters,
// trimmed and in upper case, extension included.
QString cartNameFromPath(const QString& path);
// ".MP3", ".WAV" or ".WMA" anywhere in the upper-cased path, not only at its end.
bool looksLikeAudioPath(const QString& path);

class CartEditing {
public:
    CartEditing(Wall& wall, CartButtons& buttons, CartPlayers& players, EditingDialogs& dialogs,
                core::MessageSink& messages);

    // nullopt while currentCart is not set: the menu is then left as it is.
    std::optional<CartMenuState> menuState() const;

    void insertAudio();
    void deleteAudio();
    void chooseFaceColour();
    void resetFaceColour();
    void chooseCaptionColour();
    void showProperties();
    void renameCart();
    void copyCart();
    void pasteCart();

    // Files dropped from the file manager: only the first URL counts, and only a local file.
    // It may open the colour dialog and message boxes, so call it after the drop event has
    // returned (queued), not from inside it.
    void dropFiles(const QList<QUrl>& urls);
    // Loads the file into cart n with the whole name as caption, then asks for its colour.
    void loadFileIntoCart(const QString& name, const QString& path, int cartNumber);

    // Shared with the search window's drop onto a cart: the length now, the loudness queued.
    void measureDuration(int cartNumber);
    // Colour of a freshly loaded cart: the colour dialog, or a colour chosen beforehand.
    void chooseNewCartColour(int cartNumber);
    void applyNewCartColour(int cartNumber, std::optional<int> picked);

private:
    void loadFile(int cartNumber, const QString& name, const QString& path, const QString& caption);
    // currentCart when it is set and its slot loaded, else 0.
    int loadedCurrentCart() const;
    struct PickedColour {
        int cartNumber;
        int bgr;
    };
    // The loaded current cart and the colour picked for it; nullopt if either is missing.
    std::optional<PickedColour> pickColourForCurrentCart();
    void setFaceColour(int cartNumber, int bgr);
    void setCaptionColour(int cartNumber, int bgr);

    Wall& wall_;
    CartButtons& buttons_;
    CartPlayers& players_;
    EditingDialogs& dialogs_;
    core::MessageSink& messages_;
};

} // namespace carts

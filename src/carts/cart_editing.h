#pragma once
// The commands of the cart pop-up menu and the file-manager drop, without widgets: they edit
// the slots of a Wall and tell the buttons, players and dialogs what to do through plain
// interfaces. Every command acts on the cart whose number it is given and does nothing for a
// number outside 1..96 (no cart under the pointer). User-interface thread only.
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
    // Neither stop mode is checked while the stop mode is unset.
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

    // nullopt for no cart: the menu is then left as it is.
    std::optional<CartMenuState> menuState(int n) const;

    void insertAudio(int n);
    void deleteAudio(int n);
    void chooseFaceColour(int n);
    void resetFaceColour(int n);
    void chooseCaptionColour(int n);
    void showProperties(int n);
    void renameCart(int n);
    void copyCart(int n);
    void pasteCart(int n);

    // Files dropped from the file manager: only the first URL counts, and only a local file.
    // It may open the colour dialog and message boxes, so call it after the drop event has
    // returned (queued), not from inside it.
    void dropFiles(const QList<QUrl>& urls, int n);
    // A row of the search window dropped on cart n: the cart takes the row's name and file,
    // its length is measured, and its face colour is `preset` when one was chosen
    // beforehand, else the colour dialog's. A loaded cart, even one on air, is replaced
    // without asking; its player goes on with the old audio until it stops.
    void loadSearchRow(int n, const QString& name, const QString& path,
                       std::optional<Colour> preset);
    // Loads the file into cart n with the whole name as caption, then asks for its colour.
    void loadFileIntoCart(const QString& name, const QString& path, int cartNumber);

    // Shared with the search window's drop onto a cart: the length now, the loudness queued.
    void measureDuration(int cartNumber);
    // Colour of a freshly loaded cart: the colour dialog, or a colour chosen beforehand.
    void chooseNewCartColour(int cartNumber);
    void applyNewCartColour(int cartNumber, std::optional<Colour> picked);

private:
    void loadFile(int cartNumber, const QString& name, const QString& path, const QString& caption);
    bool isLoadedCart(int n) const;
    struct PickedColour {
        int cartNumber;
        Colour colour;
    };
    // Loaded cart n and the colour picked for it; nullopt if either is missing.
    std::optional<PickedColour> pickColourFor(int n);
    void setFaceColour(int cartNumber, Colour c);
    void setCaptionColour(int cartNumber, Colour c);

    Wall& wall_;
    CartButtons& buttons_;
    CartPlayers& players_;
    EditingDialogs& dialogs_;
    core::MessageSink& messages_;
};

} // namespace carts

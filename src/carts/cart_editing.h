#pragma once
// The commands of the cart pop-up menu and the file-manager drop, without widgets: they edit
// the slots of a CartWall and tell the buttons, players and dialogs what to do through plain
// interfaces. Every command acts on CartuchoAtual (the drop on CartuchoMouse) and does nothing
// while that is not set. User-interface thread only.
#include "carts/cart_buttons.h"
#include "carts/cart_table.h"
#include "carts/editing_ports.h"

#include <QList>
#include <QUrl>

#include <optional>

namespace widgets {
class MessageSink;
}

namespace carts {

// Enabled items and check marks of PopupMenu1 for the current cart, named after the items.
struct PopupMenu1State {
    bool SobreoSoftware1 = true;
    bool Inserirudio1 = true;
    bool Excluirudio1 = false;
    bool SelecionarCor1 = false;
    bool CorPadro1 = false;
    bool SelecionarCordeFonte1 = false;
    bool Propriedades1 = false;
    bool Preferncias1 = false;
    bool RenomearCartucho1 = false;
    bool Loop1 = false;
    bool Copia1 = false;
    bool Colar1 = false;
    bool Pesquisaudio1 = true;
    bool ListaPerfis1 = true;
    // Neither stop mode is checked while Parada is neither "1" nor "0".
    bool PararcomStop1Checked = false;
    bool PararcomFade1Checked = false;
    bool Loop1Checked = false;
    bool operator==(const PopupMenu1State&) const = default;
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
    CartEditing(CartWall& wall, CartButtons& buttons, CartPlayers& players, EditingDialogs& dialogs,
                widgets::MessageSink& messages);

    // nullopt while CartuchoAtual is not set: the menu is then left as it is.
    std::optional<PopupMenu1State> PopupMenu1Popup() const;

    void Inserirudio1Click();
    void Excluirudio1Click();
    void SelecionarCor1Click();
    void CorPadro1Click();
    void SelecionarCordeFonte1Click();
    void Propriedades1Click();
    void RenomearCartucho1Click();
    void Copia1Click();
    void Colar1Click();

    // Files dropped from the file manager: only the first URL counts, and only a local file.
    // It may open the colour dialog and message boxes, so call it after the drop event has
    // returned (queued), not from inside it.
    void DropFiles(const QList<QUrl>& urls);
    // Loads the file into cart n with the whole name as caption, then asks for its colour.
    void CarregaArquivo(const QString& nome, const QString& arquivo, int cartNumber);

    // Shared with the search window's drop onto a cart.
    void MedeDuracao(int cartNumber);
    // Colour of a freshly loaded cart: the colour dialog, or a colour chosen beforehand.
    void chooseNewCartColour(int cartNumber);
    void applyNewCartColour(int cartNumber, std::optional<int> picked);

private:
    void loadFile(int cartNumber, const QString& nome, const QString& arquivo,
                  const QString& caption);
    // CartuchoAtual when it is set and its slot loaded, else 0.
    int loadedCurrentCart() const;
    struct PickedColour {
        int cartNumber;
        int bgr;
    };
    // The loaded current cart and the colour picked for it; nullopt if either is missing.
    std::optional<PickedColour> pickColourForCurrentCart();
    void setFaceColour(int cartNumber, int bgr);
    void setCaptionColour(int cartNumber, int bgr);

    CartWall& wall_;
    CartButtons& buttons_;
    CartPlayers& players_;
    EditingDialogs& dialogs_;
    widgets::MessageSink& messages_;
};

} // namespace carts

#include "carts/cart_editing.h"

#include "config/funcoes.h"
#include "widgets/message_sink.h"

namespace carts {

namespace {

constexpr qsizetype kMaxNameLength = 255;

QString insertTitle(int cartNumber) {
    return QStringLiteral("Incluir Áudio no Cartucho ->") + QString::number(cartNumber);
}

} // namespace

QString cartNameFromPath(const QString& path) {
    return config::leftChars(config::ExtraiNome(path), kMaxNameLength).trimmed().toUpper();
}

bool looksLikeAudioPath(const QString& path) {
    const QString upper = path.toUpper();
    return upper.contains(u".MP3") || upper.contains(u".WAV") || upper.contains(u".WMA");
}

CartEditing::CartEditing(CartWall& wall, CartButtons& buttons, CartPlayers& players,
                         EditingDialogs& dialogs, widgets::MessageSink& messages)
    : wall_(wall), buttons_(buttons), players_(players), dialogs_(dialogs), messages_(messages) {}

std::optional<PopupMenu1State> CartEditing::PopupMenu1Popup() const {
    const int n = wall_.CartuchoAtual();
    if (n == 0)
        return std::nullopt;
    const TCartucho& slot = wall_.Cartuchos[n];
    const bool loaded = slot.isLoaded();
    PopupMenu1State state;
    state.Excluirudio1 = loaded;
    state.SelecionarCor1 = loaded;
    state.CorPadro1 = loaded;
    state.SelecionarCordeFonte1 = loaded;
    state.Propriedades1 = loaded;
    state.Preferncias1 = loaded;
    state.RenomearCartucho1 = loaded;
    state.Loop1 = loaded;
    state.Copia1 = loaded;
    state.Colar1 = wall_.CopiaCartucho.isLoaded();
    state.PararcomStop1Checked = slot.Parada == u"1";
    state.PararcomFade1Checked = slot.Parada == u"0";
    state.Loop1Checked = slot.loops();
    return state;
}

void CartEditing::Inserirudio1Click() {
    const int n = wall_.CartuchoAtual();
    if (n == 0)
        return;
    const std::optional<QString> path = dialogs_.chooseAudioFile(insertTitle(n));
    if (!path)
        return;
    const QString nome = cartNameFromPath(*path);
    if (nome.isEmpty()) {
        // An empty name would leave a cart that looks empty but holds a path.
        messages_.showMessage(invalidAudioMessage() + *path);
        return;
    }
    loadFile(n, nome, *path, config::leftChars(nome, kCaptionLength));
    setCaptionColour(n, kCorFontePadrao);
}

void CartEditing::Excluirudio1Click() {
    const int n = loadedCurrentCart();
    if (n == 0)
        return;
    wall_.Cartuchos[n].reset();
    buttons_.setCaption(n, QString());
    buttons_.setFaceColour(n, kCorPadrao);
    buttons_.setCaptionColour(n, kCorFontePadrao);
    players_.unload(n);
    wall_.PerfilAlterado = true;
}

void CartEditing::SelecionarCor1Click() {
    const std::optional<PickedColour> picked = pickColourForCurrentCart();
    if (!picked)
        return;
    if (picked->bgr == kCorReservada) {
        messages_.showMessage(reservedRedMessage());
        return;
    }
    setFaceColour(picked->cartNumber, picked->bgr);
    wall_.PerfilAlterado = true;
}

void CartEditing::CorPadro1Click() {
    const int n = loadedCurrentCart();
    if (n == 0)
        return;
    setFaceColour(n, kCorPadrao);
    setCaptionColour(n, kCorFontePadrao);
    wall_.PerfilAlterado = true;
}

void CartEditing::SelecionarCordeFonte1Click() {
    const std::optional<PickedColour> picked = pickColourForCurrentCart();
    if (!picked)
        return;
    setCaptionColour(picked->cartNumber, picked->bgr); // red is allowed for captions
    wall_.PerfilAlterado = true;
}

void CartEditing::Propriedades1Click() {
    const int n = loadedCurrentCart();
    if (n != 0)
        messages_.showMessage(wall_.Cartuchos[n].Arquivo);
}

void CartEditing::RenomearCartucho1Click() {
    const int n = loadedCurrentCart();
    if (n == 0)
        return;
    TCartucho& slot = wall_.Cartuchos[n];
    const std::optional<QString> novoNome = dialogs_.rename(n, slot.Nome);
    // An empty name would unload the cart while keeping its file; the dialog never gives one.
    if (novoNome && !novoNome->isEmpty())
        slot.Nome = *novoNome;
    buttons_.setCaption(n, slot.Nome); // whole name until the next wall refresh
    wall_.PerfilAlterado = true;
}

void CartEditing::Copia1Click() {
    const int n = loadedCurrentCart();
    if (n != 0)
        wall_.CopiaCartucho = wall_.Cartuchos[n];
}

void CartEditing::Colar1Click() {
    const int n = wall_.CartuchoAtual();
    if (n == 0 || !wall_.CopiaCartucho.isLoaded())
        return;
    TCartucho& slot = wall_.Cartuchos[n];
    if (!slot.isLoaded() || config::PedeConfirmacao(messages_, replaceCartQuestion()))
        slot = wall_.CopiaCartucho;
    AtualizaParede(wall_.Cartuchos, buttons_);
}

void CartEditing::DropFiles(const QList<QUrl>& urls) {
    const int n = wall_.CartuchoMouse();
    if (n == 0)
        return;
    if (players_.isPlaying(n)) {
        messages_.showMessage(cartPlayingMessage());
        return;
    }
    if (urls.isEmpty())
        return;
    const QUrl& url = urls.first();
    // Only a file on this machine can be opened by a player; anything else (a web address, a
    // network location of the file manager) would be streamed or fail later.
    if (!url.isLocalFile()) {
        messages_.showMessage(invalidAudioMessage() + url.toDisplayString());
        return;
    }
    // The whole path is kept: a cut path would point at another file or at none.
    const QString path = url.toLocalFile();
    const QString nome = cartNameFromPath(path);
    if (!looksLikeAudioPath(path) || nome.isEmpty()) {
        messages_.showMessage(invalidAudioMessage() + path);
        return;
    }
    CarregaArquivo(nome, path, n);
}

void CartEditing::CarregaArquivo(const QString& nome, const QString& arquivo, int cartNumber) {
    loadFile(cartNumber, nome, arquivo, nome);
}

// What every way of putting a file into a cart does: name, path, default face, the caption
// given, the measured length and the face colour dialog.
void CartEditing::loadFile(int cartNumber, const QString& nome, const QString& arquivo,
                           const QString& caption) {
    wall_.PerfilAlterado = true;
    TCartucho& slot = wall_.Cartuchos[cartNumber];
    slot.Nome = nome;
    slot.Arquivo = arquivo;
    setFaceColour(cartNumber, kCorPadrao);
    buttons_.setCaption(cartNumber, caption);
    MedeDuracao(cartNumber);
    chooseNewCartColour(cartNumber);
}

void CartEditing::MedeDuracao(int cartNumber) {
    TCartucho& slot = wall_.Cartuchos[cartNumber];
    slot.Duracao = QString::number(players_.measureDurationMs(slot.Arquivo));
}

void CartEditing::chooseNewCartColour(int cartNumber) {
    applyNewCartColour(cartNumber, dialogs_.chooseColour());
}

void CartEditing::applyNewCartColour(int cartNumber, std::optional<int> picked) {
    if (!picked)
        return; // the default colour of the load step stays
    if (*picked == kCorReservada) {
        messages_.showMessage(reservedRedMessage());
        setFaceColour(cartNumber, kCorPadrao);
        return;
    }
    setFaceColour(cartNumber, *picked);
}

int CartEditing::loadedCurrentCart() const {
    const int n = wall_.CartuchoAtual();
    return n != 0 && wall_.Cartuchos[n].isLoaded() ? n : 0;
}

std::optional<CartEditing::PickedColour> CartEditing::pickColourForCurrentCart() {
    const int n = loadedCurrentCart();
    if (n == 0)
        return std::nullopt;
    const std::optional<int> colour = dialogs_.chooseColour();
    if (!colour)
        return std::nullopt;
    return PickedColour{n, *colour};
}

void CartEditing::setFaceColour(int cartNumber, int bgr) {
    wall_.Cartuchos[cartNumber].Cor = QString::number(bgr);
    buttons_.setFaceColour(cartNumber, bgr);
}

void CartEditing::setCaptionColour(int cartNumber, int bgr) {
    wall_.Cartuchos[cartNumber].CorFonte = QString::number(bgr);
    buttons_.setCaptionColour(cartNumber, bgr);
}

} // namespace carts

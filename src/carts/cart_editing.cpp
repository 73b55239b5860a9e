#include "carts/cart_editing.h"

#include "core/message_sink.h"
#include "core/text_helpers.h"

namespace carts {

namespace {

constexpr qsizetype kMaxNameLength = 255;

QString insertTitle(int cartNumber) {
    return QStringLiteral("Incluir Áudio no Cartucho ->") + QString::number(cartNumber);
}

} // namespace

QString cartNameFromPath(const QString& path) {
    return core::leftChars(core::fileNameOf(path), kMaxNameLength).trimmed().toUpper();
}

bool looksLikeAudioPath(const QString& path) {
    const QString upper = path.toUpper();
    return upper.contains(u".MP3") || upper.contains(u".WAV") || upper.contains(u".WMA");
}

CartEditing::CartEditing(Wall& wall, CartButtons& buttons, CartPlayers& players,
                         EditingDialogs& dialogs, core::MessageSink& messages)
    : wall_(wall), buttons_(buttons), players_(players), dialogs_(dialogs), messages_(messages) {}

std::optional<CartMenuState> CartEditing::menuState(int n) const {
    if (!isCartNumber(n))
        return std::nullopt;
    const Cart& slot = wall_.table[n];
    const bool loaded = slot.isLoaded();
    CartMenuState state;
    state.deleteAudio = loaded;
    state.chooseColour = loaded;
    state.defaultColour = loaded;
    state.chooseCaptionColour = loaded;
    state.properties = loaded;
    state.preferences = loaded;
    state.rename = loaded;
    state.loop = loaded;
    state.copy = loaded;
    state.paste = wall_.copyBuffer.isLoaded();
    state.stopWithCutChecked = slot.stopMode() == StopMode::Cut;
    state.stopWithFadeChecked = slot.stopMode() == StopMode::Fade;
    state.loopChecked = slot.loops();
    return state;
}

void CartEditing::insertAudio(int n) {
    if (!isCartNumber(n))
        return;
    const std::optional<QString> path = dialogs_.chooseAudioFile(insertTitle(n));
    if (!path)
        return;
    const QString name = cartNameFromPath(*path);
    if (name.isEmpty()) {
        // An empty name would leave a cart that looks empty but holds a path.
        messages_.showMessage(invalidAudioMessage() + *path);
        return;
    }
    loadFile(n, name, *path, core::leftChars(name, kCaptionLength));
    setCaptionColour(n, kDefaultCaptionColour);
}

void CartEditing::deleteAudio(int n) {
    if (!isLoadedCart(n))
        return;
    wall_.table[n].reset();
    buttons_.setCaption(n, QString());
    buttons_.setFaceColour(n, kDefaultFaceColour);
    buttons_.setCaptionColour(n, kDefaultCaptionColour);
    players_.unload(n);
    wall_.cartEdited(n);
}

void CartEditing::chooseFaceColour(int n) {
    const std::optional<PickedColour> picked = pickColourFor(n);
    if (!picked)
        return;
    if (picked->colour == kReservedRed) {
        messages_.showMessage(reservedRedMessage());
        return;
    }
    setFaceColour(picked->cartNumber, picked->colour);
    wall_.cartEdited(picked->cartNumber);
}

void CartEditing::resetFaceColour(int n) {
    if (!isLoadedCart(n))
        return;
    setFaceColour(n, kDefaultFaceColour);
    setCaptionColour(n, kDefaultCaptionColour);
    wall_.cartEdited(n);
}

void CartEditing::chooseCaptionColour(int n) {
    const std::optional<PickedColour> picked = pickColourFor(n);
    if (!picked)
        return;
    setCaptionColour(picked->cartNumber, picked->colour); // red is allowed for captions
    wall_.cartEdited(picked->cartNumber);
}

void CartEditing::showProperties(int n) {
    if (isLoadedCart(n))
        messages_.showMessage(wall_.table[n].path);
}

void CartEditing::renameCart(int n) {
    if (!isLoadedCart(n))
        return;
    Cart& slot = wall_.table[n];
    const std::optional<QString> newName = dialogs_.rename(n, slot.name);
    // An empty name would unload the cart while keeping its file; the dialog never gives one.
    if (newName && !newName->isEmpty())
        slot.name = *newName;
    buttons_.setCaption(n, slot.name); // whole name until the next wall refresh
    wall_.cartEdited(n);
}

void CartEditing::copyCart(int n) {
    if (isLoadedCart(n))
        wall_.copyBuffer = wall_.table[n];
}

void CartEditing::pasteCart(int n) {
    if (!isCartNumber(n) || !wall_.copyBuffer.isLoaded())
        return;
    Cart& slot = wall_.table[n];
    if (!slot.isLoaded() || messages_.confirm(replaceCartQuestion())) {
        slot = wall_.copyBuffer;
        players_.measureLoudness(slot.path);
        wall_.cartEdited(n);
    }
    refreshWall(wall_.table, buttons_);
}

void CartEditing::dropFiles(const QList<QUrl>& urls, int n) {
    if (!isCartNumber(n))
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
    const QString name = cartNameFromPath(path);
    if (!looksLikeAudioPath(path) || name.isEmpty()) {
        messages_.showMessage(invalidAudioMessage() + path);
        return;
    }
    loadFileIntoCart(name, path, n);
}

void CartEditing::loadSearchRow(int n, const QString& name, const QString& path,
                                std::optional<Colour> preset) {
    if (!isCartNumber(n))
        return;
    Cart& slot = wall_.table[n];
    slot.name = name;
    slot.path = path;
    setFaceColour(n, kDefaultFaceColour);
    buttons_.setCaption(n, core::leftChars(name, kCaptionLength).trimmed().toUpper());
    measureDuration(n); // a file gone since the search: the player says so
    wall_.cartEdited(n);
    if (preset)
        applyNewCartColour(n, preset);
    else
        chooseNewCartColour(n);
    setCaptionColour(n, kDefaultCaptionColour);
}

void CartEditing::loadFileIntoCart(const QString& name, const QString& path, int cartNumber) {
    loadFile(cartNumber, name, path, name);
}

// What every way of putting a file into a cart does: name, path, default face, the caption
// given, the measured length and the face colour dialog.
void CartEditing::loadFile(int cartNumber, const QString& name, const QString& path,
                           const QString& caption) {
    Cart& slot = wall_.table[cartNumber];
    slot.name = name;
    slot.path = path;
    setFaceColour(cartNumber, kDefaultFaceColour);
    buttons_.setCaption(cartNumber, caption);
    measureDuration(cartNumber);
    wall_.cartEdited(cartNumber); // before the colour dialog: the new length counts at once
    chooseNewCartColour(cartNumber);
}

void CartEditing::measureDuration(int cartNumber) {
    Cart& slot = wall_.table[cartNumber];
    slot.setDurationMs(static_cast<qint32>(players_.measureDurationMs(slot.path)));
    players_.measureLoudness(slot.path);
}

void CartEditing::chooseNewCartColour(int cartNumber) {
    applyNewCartColour(cartNumber, dialogs_.chooseColour());
}

void CartEditing::applyNewCartColour(int cartNumber, std::optional<Colour> picked) {
    if (!picked)
        return; // the default colour of the load step stays
    if (*picked == kReservedRed) {
        messages_.showMessage(reservedRedMessage());
        setFaceColour(cartNumber, kDefaultFaceColour);
        return;
    }
    setFaceColour(cartNumber, *picked);
}

bool CartEditing::isLoadedCart(int n) const {
    return isCartNumber(n) && wall_.table[n].isLoaded();
}

std::optional<CartEditing::PickedColour> CartEditing::pickColourFor(int n) {
    if (!isLoadedCart(n))
        return std::nullopt;
    const std::optional<Colour> colour = dialogs_.chooseColour();
    if (!colour)
        return std::nullopt;
    return PickedColour{n, *colour};
}

void CartEditing::setFaceColour(int cartNumber, Colour c) {
    wall_.table[cartNumber].setFaceColour(c);
    buttons_.setFaceColour(cartNumber, c);
}

void CartEditing::setCaptionColour(int cartNumber, Colour c) {
    wall_.table[cartNumber].setCaptionColour(c);
    buttons_.setCaptionColour(cartNumber, c);
}

} // namespace carts

#include "session/cart_firing.h"

#include "core/message_sink.h"
#include "core/text_helpers.h"
#include "core/time_text.h"
#include "session/block_sequencer.h"

namespace session {

CartFiring::CartFiring(carts::Wall& wall, PlayerBank& players, WallView& view,
                       BlockSequencer& block, core::MessageSink& messages, const FileProbe& files,
                       const config::DeviceSettings& settings)
    : wall_(wall), players_(players), view_(view), block_(block), messages_(messages),
      files_(files), settings_(settings) {}

void CartFiring::click(int n) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    carts::Cart& slot = wall_.table[n];
    if (!slot.isLoaded()) {
        return;
    }
    slot.setLoop(false);

    PlayerControl& player = players_.cart(n);
    if (player.isPlaying()) {
        if (slot.stopsWithFade()) {
            player.fadeOut(settings_.fadeMs);
        } else {
            player.stop();
        }
        return;
    }
    if (startCueOf(n)) {
        return;
    }
    if (view_.autoFade() && files_.exists(slot.path)) {
        fadeEverythingOnAir();
    }
    if (!block_.isEmpty()) {
        block_.playNext();
        return;
    }
    if (!files_.exists(slot.path)) {
        if (!slot.path.isEmpty()) {
            messages_.showMessage(QStringLiteral("Arquivo:") + slot.path +
                                  QStringLiteral(" Não encontrado"));
        }
        return;
    }
    startCart(n);
}

void CartFiring::fadeEverythingOnAir() {
    for (int i = 1; i <= carts::kCartCount; ++i) {
        PlayerControl& other = players_.cart(i);
        if (other.isPlaying()) {
            // A faded cart goes off air: looping would bring it back at the faded volume.
            wall_.table[i].setLoop(false);
            other.fadeOut(settings_.fadeMs);
        }
    }
}

void CartFiring::playBlockNext() {
    if (view_.autoFade()) {
        fadeEverythingOnAir();
    }
    block_.playNext();
}

// Steps of the click that concern the cue player; true when the click ends there.
bool CartFiring::startCueOf(int n) {
    PlayerControl& cue = players_.cue();
    if (cue.isPlaying() && cue.cartIndex() == n) {
        cue.stop();
        cue.unload();
        return true;
    }
    if (!cueMode_) {
        return false;
    }
    preview(n);
    return true;
}

void CartFiring::preview(int n) {
    PlayerControl& cue = players_.cue();
    cue.unload();
    cue.load(wall_.table[n].path);
    cue.setCartIndex(n);
    cue.setVolume(static_cast<std::uint32_t>(view_.masterVolume()));
    cue.play();
}

void CartFiring::togglePreview(int n) {
    if (!carts::isCartNumber(n) || !wall_.table[n].isLoaded()) {
        return;
    }
    if (!startCueOf(n)) {
        preview(n);
    }
}

void CartFiring::startCart(int n) {
    const QString& file = wall_.table[n].path;
    PlayerControl& player = players_.cart(n);
    // A cart whose file was replaced since its player opened the old one plays the new file.
    if (!player.isEmpty() && player.fileName() != file) {
        player.unload();
    }
    if (player.isEmpty()) {
        player.load(file);
    }
    player.setVolume(static_cast<std::uint32_t>(view_.masterVolume()));
    player.setLoop(wall_.table[n].loops());
    player.play();
    if (!player.isPlaying()) {
        return; // its device cannot play now; the player has said why
    }
    view_.setCaption(n, QStringLiteral("NO AR"));
    view_.setFrame(n, kOnAirFrameColour, kOnAirFrameWidth);
}

void CartFiring::onPlayerStopped(PlayerControl& stopped) {
    for (int i = 1; i <= carts::kCartCount; ++i) {
        if (!players_.cart(i).isPlaying()) {
            view_.setCaption(i, wall_.table[i].caption());
            view_.setIntroCountdown(i, false);
            view_.setFrame(i, kIdleFrameColour, kIdleFrameWidth);
            view_.setCaptionPointSize(i, kIdleCaptionPoints);
        }
    }
    const int k = stopped.cartIndex();
    if (carts::isCartNumber(k) && wall_.table[k].loops()) {
        view_.setCaption(k, QStringLiteral("LOOP"));
        stopped.setLoop(true);
        stopped.play();
    }
    view_.setMeters(0, 0);
    view_.setClockText(QStringLiteral("00:00:00"));
}

void CartFiring::onLoopTurned(PlayerControl& turned) {
    const int k = turned.cartIndex();
    if (carts::isCartNumber(k)) {
        view_.setCaption(k, QStringLiteral("LOOP"));
    }
    view_.setMeters(0, 0);
}

QString CartFiring::cartStatusLine(int n) const {
    const carts::Cart& slot = wall_.table[n];
    const QString prefix =
        QStringLiteral("Cartucho ") + core::zeroPad(QString::number(n), 2) + QStringLiteral(" - ");
    if (!slot.isLoaded()) {
        return prefix + QStringLiteral("Quallon Cartucheira Digital");
    }
    return prefix + slot.name + QStringLiteral(" - ") + core::formatClock(slot.durationMs());
}

void CartFiring::onPointerOverCart(int n) {
    if (carts::isCartNumber(n)) {
        view_.setStatusLine(cartStatusLine(n));
    }
}

int CartFiring::fireByKey(QChar letter) {
    const QString marker = QStringLiteral("&") + letter.toUpper();
    for (int n = 1; n <= carts::kCartCount; ++n) {
        if (players_.cart(n).isPlaying()) {
            continue;
        }
        if (view_.caption(n).contains(marker)) {
            click(n);
            return n;
        }
    }
    return 0;
}

void CartFiring::cut(int n) {
    if (carts::isCartNumber(n) && players_.cart(n).isPlaying()) {
        players_.cart(n).stop();
    }
}

// The stop mode is stored in the profile line: changing it changes the wall.
void CartFiring::setStopMode(int n, carts::StopMode mode) {
    if (carts::isCartNumber(n) && wall_.table[n].stopMode() != mode) {
        wall_.table[n].setStopMode(mode);
        wall_.cartEdited(n);
    }
}

void CartFiring::toggleLoop(int n) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    carts::Cart& slot = wall_.table[n];
    const bool nowLooping = !slot.loops();
    slot.setLoop(nowLooping);
    players_.cart(n).setLoop(nowLooping);
    if (players_.cart(n).isPlaying()) {
        view_.setCaption(n, nowLooping ? QStringLiteral("LOOP") : QStringLiteral("NO AR"));
    }
}

void CartFiring::toggleCueMode() {
    cueMode_ = !cueMode_;
    view_.setCueLook(cueMode_);
}

} // namespace session

#include "app/cart_firing.h"

#include "app/block_sequencer.h"
#include "config/funcoes.h"
#include "widgets/message_sink.h"

namespace app {

CartFiring::CartFiring(carts::CartWall& wall, PlayerBank& players, WallView& view,
                       BlockSequencer& block, widgets::MessageSink& messages,
                       const FileProbe& files, const config::DeviceSettings& settings)
    : wall_(wall), players_(players), view_(view), block_(block), messages_(messages),
      files_(files), settings_(settings) {}

void CartFiring::botao_click() {
    const int n = wall_.CartuchoAtual();
    if (!carts::isCartNumber(n)) {
        return;
    }
    carts::TCartucho& slot = wall_.Cartuchos[n];
    if (!slot.isLoaded()) {
        return;
    }
    slot.Loop = QStringLiteral("0");

    PlayerControl& player = players_.cart(n);
    if (player.IsPlaying()) {
        if (slot.stopsWithFade()) {
            player.FadeOut(settings_.FADE);
        } else {
            player.Stop();
        }
        return;
    }
    if (startCueOf(n)) {
        return;
    }
    if (view_.autoFade() && files_.exists(slot.Arquivo)) {
        for (int i = 1; i <= carts::kCartCount; ++i) {
            PlayerControl& other = players_.cart(i);
            if (other.IsPlaying()) {
                // A faded cart goes off air: looping would bring it back at the faded volume.
                wall_.Cartuchos[i].Loop = QStringLiteral("0");
                other.FadeOut(settings_.FADE);
            }
        }
    }
    if (!block_.isEmpty()) {
        block_.TocaProximoBloco();
        return;
    }
    if (!files_.exists(slot.Arquivo)) {
        if (!slot.Arquivo.isEmpty()) {
            messages_.showMessage(QStringLiteral("Arquivo:") + slot.Arquivo +
                                  QStringLiteral(" Não encontrado"));
        }
        return;
    }
    startCart(n);
}

// Steps of the click that concern the cue player; true when the click ends there.
bool CartFiring::startCueOf(int n) {
    PlayerControl& cue = players_.cue();
    if (cue.IsPlaying() && cue.CartIndex() == n) {
        cue.Stop();
        cue.Unload();
        return true;
    }
    if (!ModoCue) {
        return false;
    }
    cue.Unload();
    cue.Load(wall_.Cartuchos[n].Arquivo);
    cue.SetCartIndex(n);
    cue.SetVolume(static_cast<std::uint32_t>(view_.masterVolume()));
    cue.Play();
    return true;
}

void CartFiring::startCart(int n) {
    const QString& file = wall_.Cartuchos[n].Arquivo;
    PlayerControl& player = players_.cart(n);
    // A cart whose file was replaced since its player opened the old one plays the new file.
    if (!player.IsEmpty() && player.FileName() != file) {
        player.Unload();
    }
    if (player.IsEmpty()) {
        player.Load(file);
    }
    player.SetVolume(static_cast<std::uint32_t>(view_.masterVolume()));
    player.Play();
    view_.setCaption(n, QStringLiteral("NO AR"));
    view_.setFrame(n, kOnAirFrameColour, kOnAirFrameWidth);
}

void CartFiring::AUDIO_STOP(PlayerControl& stopped) {
    for (int i = 1; i <= carts::kCartCount; ++i) {
        if (!players_.cart(i).IsPlaying()) {
            view_.setCaption(i, wall_.Cartuchos[i].caption());
            view_.setFrame(i, kIdleFrameColour, kIdleFrameWidth);
            view_.setCaptionPointSize(i, kIdleCaptionPoints);
        }
    }
    const int k = stopped.CartIndex();
    if (carts::isCartNumber(k) && wall_.Cartuchos[k].loops()) {
        view_.setCaption(k, QStringLiteral("LOOP"));
        stopped.Play();
    }
    view_.setMeters(0, 0);
    view_.setClockText(QStringLiteral("00:00:00"));
}

QString CartFiring::cartStatusLine(int n) const {
    const carts::TCartucho& slot = wall_.Cartuchos[n];
    const QString prefix = QStringLiteral("Cartucho ") +
                           config::PreencheZeros(QString::number(n), 2) + QStringLiteral(" - ");
    if (!slot.isLoaded()) {
        return prefix + QStringLiteral("Quallon Cartucheira Digital");
    }
    return prefix + slot.Nome + QStringLiteral(" - ") + config::MsParaTempo(slot.durationMs());
}

void CartFiring::botao_mouseMove(int n) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    wall_.mouseMovedOver(n);
    view_.setStatusLine(cartStatusLine(n));
}

bool CartFiring::fireByKey(QChar letter) {
    const QString marker = QStringLiteral("&") + letter.toUpper();
    for (int n = 1; n <= carts::kCartCount; ++n) {
        if (players_.cart(n).IsPlaying()) {
            continue;
        }
        if (view_.caption(n).contains(marker)) {
            wall_.setCartuchoAtual(n);
            botao_click();
            return true;
        }
    }
    return false;
}

void CartFiring::cutCurrentCart() {
    const int n = wall_.CartuchoAtual();
    if (carts::isCartNumber(n) && players_.cart(n).IsPlaying()) {
        players_.cart(n).Stop();
    }
}

void CartFiring::PararcomStop1Click() {
    if (carts::isCartNumber(wall_.CartuchoAtual())) {
        wall_.atual().Parada = QStringLiteral("1");
    }
}

void CartFiring::PararcomFade1Click() {
    if (carts::isCartNumber(wall_.CartuchoAtual())) {
        wall_.atual().Parada = QStringLiteral("0");
    }
}

void CartFiring::Loop1Click() {
    const int n = wall_.CartuchoAtual();
    if (!carts::isCartNumber(n)) {
        return;
    }
    carts::TCartucho& slot = wall_.Cartuchos[n];
    const bool nowLooping = !slot.loops();
    slot.Loop = nowLooping ? QStringLiteral("1") : QStringLiteral("0");
    if (players_.cart(n).IsPlaying()) {
        view_.setCaption(n, nowLooping ? QStringLiteral("LOOP") : QStringLiteral("NO AR"));
    }
}

void CartFiring::ColorBtn1Click() {
    ModoCue = !ModoCue;
    view_.setCueLook(ModoCue);
}

} // namespace app

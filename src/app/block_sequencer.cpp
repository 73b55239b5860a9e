#include "app/block_sequencer.h"

#include "app/clock_text.h"
#include "config/funcoes.h"
#include "widgets/message_sink.h"

namespace app {

namespace {
QString twoDigits(int n) {
    return config::PreencheZeros(QString::number(n), 2);
}
} // namespace

BlockSequencer::BlockSequencer(carts::CartWall& wall, PlayerBank& players, WallView& view,
                               widgets::MessageSink& messages, const FileProbe& files,
                               const config::DeviceSettings& settings, TimerSwitch& mixTimer)
    : wall_(wall), players_(players), view_(view), messages_(messages), files_(files),
      settings_(settings), mixTimer_(mixTimer) {}

void BlockSequencer::SelecionaBloco(int n, bool shift) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    const carts::TCartucho& slot = wall_.Cartuchos[n];
    const QString numero = twoDigits(n);
    if (!shift) {
        view_.setClickEnabled(n, true);
    } else if (!ListaBloco.contains(numero)) {
        if (slot.isLoaded()) {
            view_.setQueued(n, true);
            ListaBloco.append(numero);
            TotalBloco += slot.durationMs();
            view_.setClickEnabled(n, false);
            view_.setBlockCount(ListaBloco.size());
        }
    } else {
        ListaBloco.removeOne(numero);
        TotalBloco -= slot.durationMs();
        view_.setQueued(n, false);
        view_.setClickEnabled(n, false);
        view_.setBlockCount(ListaBloco.size());
    }
    showBlock();
    showTotal();
}

void BlockSequencer::TocaProximoBloco() {
    if (ListaBloco.isEmpty()) {
        return;
    }
    const int k = ListaBloco.first().toInt();
    if (carts::isCartNumber(k)) {
        const carts::TCartucho& slot = wall_.Cartuchos[k];
        if (files_.exists(slot.Arquivo)) {
            PlayerControl& player = players_.cart(k);
            player.Unload();
            player.Load(slot.Arquivo);
            player.SetVolume(static_cast<std::uint32_t>(view_.masterVolume()));
            player.Play();
            view_.setQueued(k, false);
            ListaBloco.removeFirst();
            TotalBloco -= slot.durationMs();
            view_.setBlockCount(ListaBloco.size());
            CartuchoMix = k;
            if (view_.autoMix()) {
                mixTimer_.setEnabled(true);
            }
        } else if (!slot.Arquivo.isEmpty()) {
            messages_.showMessage(QStringLiteral("Arquivo:") + slot.Arquivo +
                                  QStringLiteral(" Não encontrado"));
        }
    }
    showBlock();
    showTotal();
}

void BlockSequencer::Timer_mix_botoneraTimer() {
    bool keep = false;
    if (carts::isCartNumber(CartuchoMix)) {
        PlayerControl& player = players_.cart(CartuchoMix);
        if (player.IsPlaying()) {
            keep = true;
            const qint64 remaining =
                static_cast<qint64>(player.LengthMs()) - static_cast<qint64>(player.PositionMs());
            if (remaining < settings_.MIXAGEM && !player.IsFading()) {
                if (!view_.autoMix()) {
                    mixTimer_.setEnabled(false);
                    return;
                }
                if (ListaBloco.isEmpty()) {
                    keep = false;
                    showBlock();
                } else {
                    // The outgoing cart goes off air: a loop would restart it at the faded volume.
                    wall_.Cartuchos[CartuchoMix].Loop = QStringLiteral("0");
                    player.FadeOut(settings_.FADE);
                    TocaProximoBloco();
                }
            }
        }
    }
    mixTimer_.setEnabled(keep);
}

void BlockSequencer::clear() {
    for (const QString& numero : std::as_const(ListaBloco)) {
        view_.setQueued(numero.toInt(), false);
    }
    ListaBloco.clear();
    TotalBloco = 0;
    view_.setBlockCount(0);
    showBlock();
}

void BlockSequencer::showBlock() {
    view_.setBlockLines(ListaBloco);
}

void BlockSequencer::showTotal() {
    view_.setClockText(clockText(TotalBloco));
}

} // namespace app

#include "app/block_sequencer.h"

#include "core/message_sink.h"
#include "core/text_helpers.h"
#include "core/time_text.h"

namespace app {

namespace {
QString twoDigits(int n) {
    return core::zeroPad(QString::number(n), 2);
}
} // namespace

BlockSequencer::BlockSequencer(carts::Wall& wall, PlayerBank& players, WallView& view,
                               core::MessageSink& messages, const FileProbe& files,
                               const config::DeviceSettings& settings, TimerSwitch& mixTimer)
    : wall_(wall), players_(players), view_(view), messages_(messages), files_(files),
      settings_(settings), mixTimer_(mixTimer) {}

void BlockSequencer::queueCart(int n, bool shift) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    const carts::Cart& slot = wall_.table[n];
    const QString badge = twoDigits(n);
    if (!shift) {
        view_.setClickEnabled(n, true);
    } else if (!queue_.contains(badge)) {
        if (slot.isLoaded()) {
            view_.setQueued(n, true);
            queue_.append(badge);
            totalMs_ += slot.durationMs();
            view_.setClickEnabled(n, false);
            view_.setBlockCount(queue_.size());
        }
    } else {
        queue_.removeOne(badge);
        totalMs_ -= slot.durationMs();
        view_.setQueued(n, false);
        view_.setClickEnabled(n, false);
        view_.setBlockCount(queue_.size());
    }
    showBlock();
    showTotal();
}

void BlockSequencer::playNext() {
    if (queue_.isEmpty()) {
        return;
    }
    const int k = queue_.first().toInt();
    if (carts::isCartNumber(k)) {
        const carts::Cart& slot = wall_.table[k];
        if (files_.exists(slot.path)) {
            PlayerControl& player = players_.cart(k);
            player.unload();
            player.load(slot.path);
            player.setVolume(static_cast<std::uint32_t>(view_.masterVolume()));
            player.play();
            view_.setQueued(k, false);
            queue_.removeFirst();
            totalMs_ -= slot.durationMs();
            view_.setBlockCount(queue_.size());
            mixCart_ = k;
            if (view_.autoMix()) {
                mixTimer_.setEnabled(true);
            }
        } else if (!slot.path.isEmpty()) {
            messages_.showMessage(QStringLiteral("Arquivo:") + slot.path +
                                  QStringLiteral(" Não encontrado"));
        }
    }
    showBlock();
    showTotal();
}

void BlockSequencer::onMixTick() {
    bool keep = false;
    if (carts::isCartNumber(mixCart_)) {
        PlayerControl& player = players_.cart(mixCart_);
        if (player.isPlaying()) {
            keep = true;
            const qint64 remaining =
                static_cast<qint64>(player.lengthMs()) - static_cast<qint64>(player.positionMs());
            if (remaining < settings_.mixLeadMs && !player.isFading()) {
                if (!view_.autoMix()) {
                    mixTimer_.setEnabled(false);
                    return;
                }
                if (queue_.isEmpty()) {
                    keep = false;
                    showBlock();
                } else {
                    // The outgoing cart goes off air: a loop would restart it at the faded volume.
                    wall_.table[mixCart_].loopText = QStringLiteral("0");
                    player.fadeOut(settings_.fadeMs);
                    playNext();
                }
            }
        }
    }
    mixTimer_.setEnabled(keep);
}

void BlockSequencer::clear() {
    for (const QString& badge : std::as_const(queue_)) {
        view_.setQueued(badge.toInt(), false);
    }
    queue_.clear();
    totalMs_ = 0;
    view_.setBlockCount(0);
    showBlock();
}

void BlockSequencer::showBlock() {
    view_.setBlockLines(queue_);
}

void BlockSequencer::showTotal() {
    view_.setClockText(core::formatClock(totalMs_));
}

} // namespace app

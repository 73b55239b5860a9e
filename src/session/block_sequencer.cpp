#include "session/block_sequencer.h"

#include "core/message_sink.h"
#include "core/text_helpers.h"
#include "core/time_text.h"

namespace session {

namespace {
QString twoDigits(int n) {
    return core::zeroPad(QString::number(n), 2);
}
} // namespace

BlockSequencer::BlockSequencer(carts::Wall& wall, PlayerBank& players, WallView& view,
                               core::MessageSink& messages, const FileProbe& files,
                               const config::DeviceSettings& settings)
    : wall_(wall), players_(players), view_(view), messages_(messages), files_(files),
      settings_(settings) {}

int BlockSequencer::head() const {
    return queue_.isEmpty() ? 0 : queue_.first();
}

QStringList BlockSequencer::queue() const {
    QStringList badges;
    for (const int n : queue_) {
        badges.append(twoDigits(n));
    }
    return badges;
}

// A cart whose player holds its file counts what it will play (cue-in to cue-out); the
// others count the length their profile line stores.
qint64 BlockSequencer::totalMs() const {
    qint64 total = 0;
    for (const int n : queue_) {
        const carts::Cart& slot = wall_.table[n];
        PlayerControl& player = players_.cart(n);
        const bool holdsIt = !player.isEmpty() && player.fileName() == slot.path;
        total += holdsIt ? qint64{player.lengthMs()} : slot.durationMs();
    }
    return total;
}

void BlockSequencer::queueCart(int n, bool shift) {
    if (!carts::isCartNumber(n)) {
        return;
    }
    const carts::Cart& slot = wall_.table[n];
    const int headBefore = head();
    if (!shift) {
        view_.setClickEnabled(n, true);
    } else if (!queue_.contains(n)) {
        if (slot.isLoaded()) {
            view_.setQueued(n, true);
            queue_.append(n);
            view_.setClickEnabled(n, false);
            view_.setBlockCount(queue_.size());
        }
    } else {
        remove(n);
        view_.setClickEnabled(n, false);
    }
    if (head() != headBefore) {
        planSegue(false);
    }
    showBlock();
    showTotal();
}

void BlockSequencer::remove(int n) {
    queue_.removeOne(n);
    view_.setQueued(n, false);
    view_.setBlockCount(queue_.size());
}

void BlockSequencer::removeHead(int k) {
    remove(k);
    mixCart_ = k;
    watching_ = true;
}

void BlockSequencer::onCartEdited(int n) {
    if (!queue_.contains(n)) {
        return;
    }
    if (!wall_.table[n].isLoaded()) {
        const int headBefore = head();
        remove(n);
        if (head() != headBefore) {
            planSegue(false);
        }
        showBlock();
    }
    showTotal();
}

void BlockSequencer::playNext() {
    const int k = head();
    if (carts::isCartNumber(k)) {
        const carts::Cart& slot = wall_.table[k];
        if (files_.exists(slot.path)) {
            PlayerControl& player = players_.cart(k);
            player.unload();
            player.load(slot.path);
            player.setVolume(static_cast<std::uint32_t>(view_.masterVolume()));
            player.setLoop(slot.loops());
            player.play();
            removeHead(k);
            planSegue(true);
        } else if (!slot.path.isEmpty()) {
            messages_.showMessage(QStringLiteral("Arquivo:") + slot.path +
                                  QStringLiteral(" Não encontrado"));
        }
    }
    showBlock();
    showTotal();
}

// The next cart is opened afresh now, so that the mixer can start it on the frame. A cart that
// is on air cannot be reopened without cutting it, and a missing file cannot be opened: then
// the segue only fades, and the next cart is taken as a click would take it.
PlayerControl* BlockSequencer::prepareNext() {
    const int k = head();
    plannedNext_ = 0;
    if (!carts::isCartNumber(k) || k == mixCart_ || players_.cart(k).isPlaying()) {
        return nullptr;
    }
    const carts::Cart& slot = wall_.table[k];
    if (!files_.exists(slot.path)) {
        return nullptr;
    }
    PlayerControl& next = players_.cart(k);
    if (next.isEmpty() || next.fileName() != slot.path) {
        next.unload();
        next.load(slot.path);
    }
    if (next.isEmpty()) {
        return nullptr;
    }
    next.setVolume(static_cast<std::uint32_t>(view_.masterVolume()));
    next.setLoop(slot.loops());
    plannedNext_ = k;
    return &next;
}

// `fromNow`: the cart has just started, or the mix point moved; otherwise a mix point that
// has passed without a segue armed stays passed, as the watch ended there.
void BlockSequencer::planSegue(bool fromNow) {
    if (!carts::isCartNumber(mixCart_)) {
        return;
    }
    PlayerControl& outgoing = players_.cart(mixCart_);
    outgoing.cancelSegue();
    plannedNext_ = 0;
    if (!outgoing.isPlaying() || outgoing.isFading()) {
        return;
    }
    const qint64 remaining =
        static_cast<qint64>(outgoing.lengthMs()) - static_cast<qint64>(outgoing.positionMs());
    const std::uint32_t lead =
        outgoing.segueLeadMs(static_cast<std::uint32_t>(settings_.mixLeadMs));
    if (!fromNow && remaining < static_cast<qint64>(lead)) {
        watching_ = false;
    }
    if (!watching_ || !view_.autoMix() || queue_.isEmpty()) {
        return;
    }
    outgoing.armSegue(prepareNext(), lead, static_cast<std::uint16_t>(settings_.fadeMs));
}

void BlockSequencer::onSegue(int cart) {
    if (cart != mixCart_ || !carts::isCartNumber(cart)) {
        return;
    }
    // The outgoing cart goes off air: a loop would restart it at the faded volume.
    wall_.table[cart].setLoop(false);
    players_.cart(cart).setLoop(false);
    const int k = plannedNext_;
    plannedNext_ = 0;
    if (k != 0 && k == head() && players_.cart(k).isPlaying()) {
        removeHead(k);
        planSegue(true);
        showBlock();
        showTotal();
        return;
    }
    playNext();
}

void BlockSequencer::onAutoMixChanged() {
    planSegue(false);
}

void BlockSequencer::onMixSettingsChanged() {
    planSegue(true);
}

void BlockSequencer::clear() {
    for (const int n : std::as_const(queue_)) {
        view_.setQueued(n, false);
    }
    queue_.clear();
    view_.setBlockCount(0);
    if (carts::isCartNumber(mixCart_)) {
        players_.cart(mixCart_).cancelSegue();
    }
    plannedNext_ = 0;
    showBlock();
}

void BlockSequencer::showBlock() {
    view_.setBlockLines(queue());
}

void BlockSequencer::showTotal() {
    view_.setClockText(core::formatClock(totalMs()));
}

} // namespace session

#include "session/status_display.h"

#include "carts/cart_table.h"
#include "core/time_text.h"
#include "session/block_sequencer.h"
#include "session/cart_firing.h"

namespace session {

namespace {
constexpr int kLevelScale = 200;
} // namespace

StatusDisplay::StatusDisplay(PlayerBank& players, WallView& view, const BlockSequencer& block)
    : players_(players), view_(view), block_(block) {
    playing_.reserve(carts::kCartCount);
}

void StatusDisplay::onDisplayTick() {
    ++tickCount_;
    const bool blink = tickCount_ % 5 == 0;
    const bool warningBlink = ++warningTicks_ % kWarningBlinkTicks == 0;
    playing_.clear();
    for (int n = 1; n <= carts::kCartCount; ++n) {
        PlayerControl& player = players_.cart(n);
        if (!player.isPlaying()) {
            continue;
        }
        playing_.push_back(n);
        if (inEndWarning(n, player) ? warningBlink : blink) {
            flipFrame(n);
        }
        showTimeLeft(n, player);
    }
    showLastPlaying(playing_, warningBlink);
    if (tickCount_ > 10) {
        tickCount_ = 0;
    }
}

// The meters and the clock show the highest-numbered playing cart; the meters keep the levels
// of the cart below it when that cart has no data. Only those reads are made, not one FFT per
// playing cart.
void StatusDisplay::showLastPlaying(const std::vector<int>& playing, bool warningBlink) {
    if (playing.empty()) {
        clockLit_ = false; // the clock keeps its text, but no warning outlives the cart
        view_.setClockWarning(false);
        return;
    }
    for (auto it = playing.rbegin(); it != playing.rend(); ++it) {
        std::int32_t levelA = 0;
        std::int32_t levelB = 0;
        if (players_.cart(*it).readLevels(levelA, levelB)) {
            view_.setMeters(levelA / kLevelScale, levelB / kLevelScale);
            break;
        }
    }
    PlayerControl& last = players_.cart(playing.back());
    view_.setClockText(
        core::formatClock(qint64(last.lengthMs()) + block_.totalMs() - qint64(last.positionMs())));
    if (!inEndWarning(playing.back(), last)) {
        clockLit_ = false;
    } else if (warningBlink) {
        clockLit_ = !clockLit_;
    }
    view_.setClockWarning(clockLit_);
}

// While the intro runs the button counts down to the vocal, so the operator can talk up to it;
// then it counts down the cart.
void StatusDisplay::showTimeLeft(int n, PlayerControl& player) {
    const std::optional<std::uint32_t> intro = player.introLeftMs();
    view_.setIntroCountdown(n, intro.has_value());
    const qint64 left =
        intro ? qint64{*intro} : qint64(player.lengthMs()) - qint64(player.positionMs());
    view_.setCaption(n, core::formatClock(left));
}

bool StatusDisplay::inEndWarning(int n, PlayerControl& player) const {
    if (warning_.ms <= 0 || (warning_.loops && warning_.loops(n))) {
        return false;
    }
    return qint64(player.lengthMs()) - qint64(player.positionMs()) <= warning_.ms;
}

void StatusDisplay::flipFrame(int n) {
    if (view_.frameWidth(n) == kIdleFrameWidth) {
        view_.setFrame(n, kOnAirFrameColour, kOnAirFrameWidth);
    } else {
        view_.setFrame(n, kIdleFrameColour, kIdleFrameWidth);
    }
}

void StatusDisplay::onMasterFaderMoved(int position) {
    for (int n = 1; n <= carts::kCartCount; ++n) {
        players_.cart(n).setVolume(static_cast<std::uint32_t>(position));
    }
}

} // namespace session

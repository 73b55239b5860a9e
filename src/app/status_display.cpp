#include "app/status_display.h"

#include "app/block_sequencer.h"
#include "app/cart_firing.h"
#include "app/clock_text.h"

namespace app {

namespace {
constexpr int kLevelScale = 200;
} // namespace

StatusDisplay::StatusDisplay(PlayerBank& players, WallView& view, const BlockSequencer& block)
    : players_(players), view_(view), block_(block) {}

void StatusDisplay::Timer2Timer() {
    ++ContaTique;
    const bool blink = ContaTique % 5 == 0;
    for (int n = 1; n <= 96; ++n) {
        PlayerControl& player = players_.cart(n);
        if (!player.IsPlaying()) {
            continue;
        }
        if (blink) {
            if (view_.frameWidth(n) == kIdleFrameWidth) {
                view_.setFrame(n, kOnAirFrameColour, kOnAirFrameWidth);
            } else {
                view_.setFrame(n, kIdleFrameColour, kIdleFrameWidth);
            }
        }
        std::int32_t levelA = 0;
        std::int32_t levelB = 0;
        if (player.ReadLevels(levelA, levelB)) {
            view_.setMeters(levelA / kLevelScale, levelB / kLevelScale);
        }
        const qint64 length = player.LengthMs();
        const qint64 position = player.PositionMs();
        view_.setCaption(n, clockText(length - position));
        view_.setClockText(clockText(length + block_.totalBloco() - position));
    }
    if (ContaTique > 10) {
        ContaTique = 0;
    }
}

void StatusDisplay::MMSlider1Track(int position) {
    for (int n = 1; n <= 96; ++n) {
        players_.cart(n).SetVolume(static_cast<std::uint32_t>(position));
    }
}

} // namespace app

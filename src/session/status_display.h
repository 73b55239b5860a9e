#pragma once
// The 100 ms display tick: count-down and blinking frame on every playing cart, the two level
// meters and the count-down clock; and the master fader that sets every cart player's volume.
#include "session/wall_ports.h"

#include <QtGlobal>

#include <functional>
#include <vector>

namespace session {

class BlockSequencer;

// The last moments of a cart that is to end: its frame, and the clock while it follows the
// cart, blink faster.
struct EndWarning {
    qint64 ms = 0;                  // how long before the end it starts; 0: off
    std::function<bool(int)> loops; // cart n turns instead of ending: it never warns
};

class StatusDisplay {
public:
    // A frame in its end warning changes every this many ticks instead of at the 5th and 10th.
    static constexpr int kWarningBlinkTicks = 2;

    StatusDisplay(PlayerBank& players, WallView& view, const BlockSequencer& block);

    void setEndWarning(EndWarning warning) { warning_ = std::move(warning); }

    void onDisplayTick();
    void onMasterFaderMoved(int position);
    int tickCount() const { return tickCount_; }

private:
    void showLastPlaying(const std::vector<int>& playing, bool warningBlink);
    void showTimeLeft(int n, PlayerControl& player);
    bool inEndWarning(int n, PlayerControl& player) const;
    void flipFrame(int n);

    PlayerBank& players_;
    WallView& view_;
    const BlockSequencer& block_;
    int tickCount_ = 0;     // 1..11, then 0: frames change at 5 and 10
    int warningTicks_ = 0;  // counts on without wrapping, for the end warning's blink
    bool clockLit_ = false; // the clock's end-warning blink
    EndWarning warning_;
    std::vector<int> playing_; // carts on air at the last tick, kept to avoid reallocating
};

} // namespace session

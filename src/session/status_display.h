#pragma once
// The 100 ms display tick: count-down and blinking frame on every playing cart, the two level
// meters and the count-down clock; and the master fader that sets every cart player's volume.
#include "session/wall_ports.h"

#include <vector>

namespace session {

class BlockSequencer;

class StatusDisplay {
public:
    StatusDisplay(PlayerBank& players, WallView& view, const BlockSequencer& block);

    void onDisplayTick();
    void onMasterFaderMoved(int position);
    int tickCount() const { return tickCount_; }

private:
    void showLastPlaying(const std::vector<int>& playing);
    void showTimeLeft(int n, PlayerControl& player);

    PlayerBank& players_;
    WallView& view_;
    const BlockSequencer& block_;
    int tickCount_ = 0;        // 1..11, then 0: frames change at 5 and 10
    std::vector<int> playing_; // carts on air at the last tick, kept to avoid reallocating
};

} // namespace session

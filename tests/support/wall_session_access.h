#pragma once
// What tests and benchmarks reach inside the wall session and nothing else does: the players,
// to clock their channels on a hand-driven device, and the wall, to set carts up by hand.
#include "audio/cart_player.h"
#include "session/cart_player_bank.h"
#include "session/wall_session.h"

namespace session {

struct WallSessionAccess {
    static audio::CartPlayer& cartPlayer(WallSession& s, int n) {
        return s.players_->cartPlayer(n);
    }
    static audio::CartPlayer& sparePlayer(WallSession& s) { return s.players_->sparePlayer(); }
    static carts::Wall& wall(WallSession& s) { return s.wall_; }
    static QTimer& displayTimer(WallSession& s) { return s.displayTimer_; }
};

} // namespace session

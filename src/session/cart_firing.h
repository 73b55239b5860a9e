#pragma once
// What a click, a cart key or a stopping player does to the carts on the wall.
#include "carts/cart_table.h"
#include "config/device_settings.h"
#include "session/wall_ports.h"

namespace core {
class MessageSink;
}

namespace session {

class BlockSequencer;

class CartFiring {
public:
    CartFiring(carts::Wall& wall, PlayerBank& players, WallView& view, BlockSequencer& block,
               core::MessageSink& messages, const FileProbe& files,
               const config::DeviceSettings& settings);

    // A click on cart n: stop it if it is on air, else cue it, start the block or start the
    // cart itself.
    void click(int n);
    // A cart player stopped: idle look for every cart that no longer plays, loop restart.
    void onPlayerStopped(PlayerControl& stopped);
    // A looping cart went round from its end to its start, without a gap.
    void onLoopTurned(PlayerControl& turned);
    // The pointer moved over cart n.
    void onPointerOverCart(int n);
    // Ctrl + letter: fires the first idle cart whose caption holds "&" + the letter, as a
    // click does. The cart fired, else 0.
    int fireByKey(QChar letter);
    // The block's next cart, as a click on any cart would start it while the block is not
    // empty (AUTO FADE included).
    void playBlockNext();
    // Fades every cart on air over FADE and clears its loop flag.
    void fadeEverythingOnAir();
    // Pre-listens to cart n on the cue player, or stops its pre-listening, whatever CUE says.
    void togglePreview(int n);
    // Cuts cart n if it is on air (the Alt key on the cart under the pointer).
    void cut(int n);

    void setStopMode(int n, carts::StopMode mode);
    void toggleLoop(int n);
    void toggleCueMode();

    bool cueMode() const { return cueMode_; }

    // The status line text for cart n.
    QString cartStatusLine(int n) const;

private:
    bool startCueOf(int n);
    void preview(int n);
    void startCart(int n);

    carts::Wall& wall_;
    PlayerBank& players_;
    WallView& view_;
    BlockSequencer& block_;
    core::MessageSink& messages_;
    const FileProbe& files_;
    const config::DeviceSettings& settings_;
    bool cueMode_ = false;
};

} // namespace session

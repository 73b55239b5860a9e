#pragma once
// What a click, a cart key or a stopping player does to the carts on the wall.
#include "app/wall_ports.h"
#include "carts/cart_table.h"
#include "config/device_settings.h"

namespace core {
class MessageSink;
}

namespace app {

class BlockSequencer;

class CartFiring {
public:
    CartFiring(carts::Wall& wall, PlayerBank& players, WallView& view, BlockSequencer& block,
               core::MessageSink& messages, const FileProbe& files,
               const config::DeviceSettings& settings);

    // A click on the current cart: stop it if it is on air, else cue it, start the block or
    // start the cart itself.
    void onCartClicked();
    // A cart player stopped: idle look for every cart that no longer plays, loop restart.
    void onPlayerStopped(PlayerControl& stopped);
    // A looping cart went round from its end to its start, without a gap.
    void onLoopTurned(PlayerControl& turned);
    // The pointer moved over cart n.
    void onPointerOverCart(int n);
    // Ctrl + letter: fires the first idle cart whose caption holds "&" + the letter.
    // True when a cart was fired.
    bool fireByKey(QChar letter);
    // The Alt key: cuts the current cart if it is on air.
    void cutCurrentCart();

    void setStopWithCut();
    void setStopWithFade();
    void toggleLoop();
    void toggleCueMode();

    bool cueMode() const { return cueMode_; }

    // The status line text for cart n.
    QString cartStatusLine(int n) const;

private:
    bool startCueOf(int n);
    void setStopMode(const QString& text);
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

// Frame looks of a cart button.
inline constexpr int kIdleFrameColour = 0;
inline constexpr int kIdleFrameWidth = 1;
inline constexpr int kOnAirFrameColour = 255;
inline constexpr int kOnAirFrameWidth = 10;
inline constexpr int kIdleCaptionPoints = 8;

} // namespace app

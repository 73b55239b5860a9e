#pragma once
// The block: a queue of carts built with Shift + press that plays one cart per click, and with
// AUTO MIX segues into the next cart MIXAGEM before the current one ends.
//
// The segue is armed in the mixer at the outgoing cart's frame length - MIXAGEM: the next
// cart's first sample and the outgoing cart's fade fall on that frame. The plan follows what
// decides it: it is armed when the block starts a cart, and armed again or cancelled when
// AUTO MIX is switched, the head of the block changes, or MIXAGEM or FADE change. A stop or a
// fade of the outgoing cart cancels it in the mixer.
#include "carts/cart_table.h"
#include "config/device_settings.h"
#include "session/wall_ports.h"

#include <QStringList>

namespace core {
class MessageSink;
}

namespace session {

class BlockSequencer {
public:
    BlockSequencer(carts::Wall& wall, PlayerBank& players, WallView& view,
                   core::MessageSink& messages, const FileProbe& files,
                   const config::DeviceSettings& settings);

    // Mouse press on cart n: with Shift the cart joins or leaves the block and the click that
    // ends this press is suppressed; without Shift the cart's click is armed again.
    void queueCart(int n, bool shift);
    // Starts the block's first cart afresh and removes it from the block.
    void playNext();
    // The watched cart reached its mix point: the segue armed for it has happened.
    void onSegue(int cart);
    void onAutoMixChanged();
    // MIXAGEM or FADE changed.
    void onMixSettingsChanged();
    // Cart n was edited: emptied, it leaves the block; refilled, it counts with its new length.
    void onCartEdited(int n);
    // Empties the block (a wall that is cleared).
    void clear();

    bool isEmpty() const { return queue_.isEmpty(); }
    // The queued carts as their badges show them ("03"), the next cart first.
    QStringList queue() const;
    // The queued carts' lengths, as the carts give them now.
    qint64 totalMs() const;
    int mixCart() const { return mixCart_; }

private:
    int head() const;
    void remove(int n);
    void removeHead(int k);
    void planSegue(bool fromNow);
    PlayerControl* prepareNext();
    void showBlock();
    void showTotal();

    carts::Wall& wall_;
    PlayerBank& players_;
    WallView& view_;
    core::MessageSink& messages_;
    const FileProbe& files_;
    const config::DeviceSettings& settings_;

    QList<int> queue_;      // cart numbers, the next cart first
    int mixCart_ = 0;       // the cart whose mix point is watched
    int plannedNext_ = 0;   // the cart the armed segue starts; 0: it only fades
    bool watching_ = false; // the mix point of mixCart_ has not been passed with AUTO MIX off
};

} // namespace session

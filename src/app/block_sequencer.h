#pragma once
// The block: a queue of carts built with Shift + press that plays one cart per click, and with
// AUTO MIX segues into the next cart shortly before the current one ends.
#include "app/wall_ports.h"
#include "carts/cart_table.h"
#include "config/device_settings.h"

#include <QStringList>

namespace core {
class MessageSink;
}

namespace app {

class BlockSequencer {
public:
    BlockSequencer(carts::Wall& wall, PlayerBank& players, WallView& view,
                   core::MessageSink& messages, const FileProbe& files,
                   const config::DeviceSettings& settings, TimerSwitch& mixTimer);

    // Mouse press on cart n: with Shift the cart joins or leaves the block and the click that
    // ends this press is suppressed; without Shift the cart's click is armed again.
    void queueCart(int n, bool shift);
    // Starts the block's first cart afresh and removes it from the block.
    void playNext();
    // The 50 ms mix timer tick: segues to the next cart mixLeadMs ms before the end.
    void onMixTick();
    // Empties the block (a wall that is cleared).
    void clear();

    bool isEmpty() const { return queue_.isEmpty(); }
    const QStringList& queue() const { return queue_; }
    qint64 totalMs() const { return totalMs_; }
    int mixCart() const { return mixCart_; }

private:
    void showBlock();
    void showTotal();

    carts::Wall& wall_;
    PlayerBank& players_;
    WallView& view_;
    core::MessageSink& messages_;
    const FileProbe& files_;
    const config::DeviceSettings& settings_;
    TimerSwitch& mixTimer_;

    QStringList queue_;  // two-digit cart numbers, the next cart first
    qint64 totalMs_ = 0; // ms of the queued carts
    int mixCart_ = 0;    // the cart the mix timer watches
};

} // namespace app

#pragma once
// The block: a queue of carts built with Shift + press that plays one cart per click, and with
// AUTO MIX segues into the next cart shortly before the current one ends.
#include "app/wall_ports.h"
#include "carts/cart_table.h"
#include "config/device_settings.h"

#include <QStringList>

namespace widgets {
class MessageSink;
}

namespace app {

class BlockSequencer {
public:
    BlockSequencer(carts::CartWall& wall, PlayerBank& players, WallView& view,
                   widgets::MessageSink& messages, const FileProbe& files,
                   const config::DeviceSettings& settings, TimerSwitch& mixTimer);

    // Mouse press on cart n: with Shift the cart joins or leaves the block and the click that
    // ends this press is suppressed; without Shift the cart's click is armed again.
    void SelecionaBloco(int n, bool shift);
    // Starts the block's first cart afresh and removes it from the block.
    void TocaProximoBloco();
    // The 50 ms mix timer tick: segues to the next cart MIXAGEM ms before the end.
    void Timer_mix_botoneraTimer();
    // Empties the block (a wall that is cleared).
    void clear();

    bool isEmpty() const { return ListaBloco.isEmpty(); }
    const QStringList& lista() const { return ListaBloco; }
    qint64 totalBloco() const { return TotalBloco; }
    int cartuchoMix() const { return CartuchoMix; }

private:
    void showBlock();
    void showTotal();

    carts::CartWall& wall_;
    PlayerBank& players_;
    WallView& view_;
    widgets::MessageSink& messages_;
    const FileProbe& files_;
    const config::DeviceSettings& settings_;
    TimerSwitch& mixTimer_;

    QStringList ListaBloco; // two-digit cart numbers, the next cart first
    qint64 TotalBloco = 0;  // ms of the queued carts
    int CartuchoMix = 0;    // the cart the mix timer watches
};

} // namespace app

#pragma once
// What the cart editing commands need from outside: the common dialogs and the players. The
// main window implements these over its real dialogs and players; tests use fakes.
#include "carts/cart.h"

#include <QString>

#include <optional>

namespace carts {

class EditingDialogs {
public:
    virtual ~EditingDialogs() = default;
    // The open-file dialog for mp3/wav/wma; nullopt when cancelled.
    virtual std::optional<QString> chooseAudioFile(const QString& title) = 0;
    // The colour dialog as a 00BBGGRR value; nullopt when cancelled. The dialog starts at
    // 14540287 and then at the last colour chosen.
    virtual std::optional<Colour> chooseColour() = 0;
    // The rename dialog for cart n; the new name on OK, nullopt on "Cancelar".
    virtual std::optional<QString> rename(int cartNumber, const QString& currentName) = 0;
};

class CartPlayers {
public:
    virtual ~CartPlayers() = default;
    virtual bool isPlaying(int cartNumber) const = 0;
    // Stops player n and frees its audio.
    virtual void unload(int cartNumber) = 0;
    // Length of the file in ms through the spare player, 0 when it cannot be opened (the
    // player reports why). See measureWithSparePlayer.
    virtual quint32 measureDurationMs(const QString& path) = 0;
    // Queues the file's loudness measurement (in the background; nothing waits for it).
    virtual void measureLoudness(const QString& path) { static_cast<void>(path); }
};

// The spare player never plays: it opens the file only to read its length, and is left empty
// again so it holds no file between measurements.
template <class Player> quint32 measureWithSparePlayer(Player& spare, const QString& path) {
    spare.unload();
    spare.load(path);
    const quint32 lengthMs = spare.lengthMs();
    spare.unload();
    return lengthMs;
}

} // namespace carts

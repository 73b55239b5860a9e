#pragma once
// What all players of one program share, handed to each player's constructor:
//  - engine: the sound layer every player plays through (and nothing else does);
//  - messages: where players show their messages to the operator;
//  - openedDevices: device numbers the engine has opened. It only grows, so 97 players on one
//    device open it once;
//  - failedDevices: devices that failed to open, with the error code. The failure is shown
//    once, by the first player on that device; the others neither try again nor repeat the
//    message, so a missing device gives one box, not one per player;
//  - deviceRoles: what each device is used for, in the operator's words, named in every
//    message about that device.
//  - playbackGain: the linear gain a player applies to a file each time it starts it (loudness
//    normalisation); unity while not set. Asked at the start, so a cart on air keeps its level
//    and the next start takes a new measurement or setting.
// The context also carries the engine's events to the players: it watches the engine's event
// descriptor on the user-interface thread, so no player needs a timer of its own.
// One context per program: every player, including the setup dialog's, takes the same one, or
// a device would be opened twice. Its owner (the main window) keeps it alive longer than every
// player. Everything runs on the user-interface thread, so nothing here is locked.
#include "audio/engine/sound_engine.h"
#include "core/message_sink.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace audio {

struct PlayerContext {
    PlayerContext(engine::SoundEngine& engine, core::MessageSink& messages);
    ~PlayerContext();
    PlayerContext(const PlayerContext&) = delete;
    PlayerContext& operator=(const PlayerContext&) = delete;

    // Adds a role ("Device Transmissão") to a device; a device with two roles names both.
    void addDeviceRole(int device, const QString& role);
    // The message about a device that cannot be used: the device problem in the first line;
    // in the second the device's role, if it has one, and the error's text.
    QString deviceProblemText(int device, int code) const;

    engine::SoundEngine& engine;
    core::MessageSink& messages;
    QList<int> openedDevices;
    QMap<int, int> failedDevices;
    QMap<int, QStringList> deviceRoles;
    std::function<float(const QString& path)> playbackGain;

    float gainFor(const QString& path) const { return playbackGain ? playbackGain(path) : 1.0f; }

private:
    std::unique_ptr<QSocketNotifier> events_;
};

} // namespace audio

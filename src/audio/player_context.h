#pragma once
// What all players of one program share, handed to each player's constructor:
//  - sound: the sound layer every player calls (and nothing else does);
//  - messages: where players show their messages to the operator;
//  - terminateApplication: asks the program to end when control returns to its event loop
//    (used when the sound layer has the wrong version);
//  - openedDevices: device numbers the sound layer has been initialised for. It only grows, so
//    97 players on one device initialise it once;
//  - failedDevices: devices whose initialisation failed, with the error code. The failure is
//    shown once, by the first player on that device; the others neither try again nor repeat
//    the message, so a missing device gives one box, not one per player;
//  - deviceRoles: what each device is used for, in the operator's words, named in every
//    message about that device.
//  - playbackGain: the linear gain a player applies to a file each time it starts it (loudness
//    normalisation); unity while not set. Asked at the start, so a cart on air keeps its level
//    and the next start takes a new measurement or setting.
// One context per program: every player, including the setup dialog's, takes the same one, or
// a device would be initialised twice. Its owner (the main window) keeps it alive longer than
// every player.
// Everything runs on the user-interface thread, so nothing here is locked.
#include "audio/engine/sound_api.h"
#include "core/message_sink.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace audio {

struct PlayerContext {
    PlayerContext(SoundApi& sound, core::MessageSink& messages,
                  std::function<void()> terminateApplication = quitOnceEventLoopRuns);
    PlayerContext(const PlayerContext&) = delete;
    PlayerContext& operator=(const PlayerContext&) = delete;

    // Queues QCoreApplication::quit(), so it also works before the event loop has started.
    static void quitOnceEventLoopRuns();

    // Adds a role ("Device Transmissão") to a device; a device with two roles names both.
    void addDeviceRole(int device, const QString& role);
    // The message about a device that cannot be used: the device problem in the first line;
    // in the second the device's role, if it has one, and the error's text.
    QString deviceProblemText(int device, int code) const;

    SoundApi& sound;
    core::MessageSink& messages;
    std::function<void()> terminateApplication;
    QList<int> openedDevices;
    QMap<int, int> failedDevices;
    QMap<int, QStringList> deviceRoles;
    std::function<float(const QString& path)> playbackGain;

    float gainFor(const QString& path) const { return playbackGain ? playbackGain(path) : 1.0f; }
};

} // namespace audio

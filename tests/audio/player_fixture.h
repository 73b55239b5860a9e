#pragma once
// A player on the scripted sound layer, with its messages and OnStop calls recorded.
#include "audio/fake_sound_api.h"
#include "audio/orvane_bass.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <memory>

namespace audio::testing {

class PlayerTest : public ::testing::Test {
protected:
    static constexpr int kDevice = 1;
    inline static const QString kTone = QStringLiteral("/media/tone.mp3");

    std::unique_ptr<TOrvaneBass> makePlayer(int device = kDevice) {
        auto p = std::make_unique<TOrvaneBass>(context);
        p->InitDevice(device, false, nullptr);
        p->SelectDevice(device);
        p->SetOnStop([this](QObject* sender) {
            ++stops;
            lastStopSender = sender;
        });
        return p;
    }

    // Loads a 44.1 kHz stereo file of the given length.
    void load(std::uint64_t lengthMs = 1000, const QString& path = kTone) {
        sound.addMedia(path.toStdString(), {.lengthMs = lengthMs});
        player->Load(path);
        ASSERT_TRUE(player->Loaded());
    }

    // One timer period: the clock moves on, then the player's tick runs.
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            sound.advance(TOrvaneBass::kTickMs);
            player->Tick();
        }
    }

    FakeSoundApi::Channel& channel() { return *sound.channel(player->Channel()); }

    FakeSoundApi sound;
    RecordingMessages messages;
    int terminateRequests = 0;
    PlayerContext context{sound, messages, [this] { ++terminateRequests; }};
    int stops = 0;
    QObject* lastStopSender = nullptr;
    std::unique_ptr<TOrvaneBass> player = makePlayer();
};

} // namespace audio::testing

#pragma once
// A player on the scripted sound layer, with its messages and onStop calls recorded.
#include "audio/cart_player.h"
#include "audio/fake_sound_api.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <memory>

namespace audio::testing {

class PlayerTest : public ::testing::Test {
protected:
    static constexpr int kDevice = 1;
    inline static const QString kTone = QStringLiteral("/media/tone.mp3");

    std::unique_ptr<CartPlayer> makePlayer(int device = kDevice) {
        auto p = std::make_unique<CartPlayer>(context);
        p->initDevice(device, false, nullptr);
        p->selectDevice(device);
        p->setOnStop([this](QObject* sender) {
            ++stops;
            lastStopSender = sender;
        });
        return p;
    }

    // Loads a 44.1 kHz stereo file of the given length.
    void load(std::uint64_t lengthMs = 1000, const QString& path = kTone) {
        sound.addMedia(path.toStdString(), {.lengthMs = lengthMs});
        player->load(path);
        ASSERT_TRUE(player->loaded());
    }

    // One timer period: the clock moves on, then the player's tick runs.
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            sound.advance(CartPlayer::kTickMs);
            player->tick();
        }
    }

    FakeSoundApi::Channel& channel() { return *sound.channel(player->channel()); }

    FakeSoundApi sound;
    RecordingMessages messages;
    int terminateRequests = 0;
    PlayerContext context{sound, messages, [this] { ++terminateRequests; }};
    int stops = 0;
    QObject* lastStopSender = nullptr;
    std::unique_ptr<CartPlayer> player = makePlayer();
};

} // namespace audio::testing

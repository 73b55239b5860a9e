#pragma once
// A player on the real sound layer whose device 1 is clocked by the test: audio moves only when
// the test renders frames, and what the mixer reports reaches the player when the test
// dispatches it, so every timing check is exact.
#include "audio/cart_player.h"
#include "audio/hand_devices.h"
#include "engine/test_media.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <memory>

namespace audio::testing {

class PlayerTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kRate = HandEngine::kRate;
    static constexpr int kDevice = 1;

    std::unique_ptr<CartPlayer> makePlayer(int device = kDevice) {
        auto p = std::make_unique<CartPlayer>(context);
        p->initDevice(device);
        p->setBufferLength(1000);
        p->setOnStop([this](QObject* sender) {
            ++stops;
            lastStopSender = sender;
        });
        return p;
    }

    // A stereo sine of the given length, written to the test's folder.
    QString tone(const std::string& name, std::uint64_t ms, double hz = 440.0,
                 double amplitude = 0.5,
                 enginetest::SampleFormat format = enginetest::SampleFormat::S16,
                 std::uint16_t channels = 2) {
        const std::filesystem::path file = dir.path(name);
        enginetest::writeWav(file, {kRate, channels, format, kRate * ms / 1000},
                             enginetest::sine(hz, kRate, amplitude));
        return QString::fromStdString(file.string());
    }

    void loadTone(std::uint64_t ms) {
        player->load(tone("tone.wav", ms));
        ASSERT_TRUE(player->loaded()) << messages.shown.join('|').toStdString();
    }

    // `ms` of audio on device 1 (with `other` kept fed too), then what the mixer reported goes
    // to the players.
    void render(std::uint32_t ms, const CartPlayer* other = nullptr) {
        renderFrames(kRate * ms / 1000, other);
    }
    void renderFrames(std::size_t frames, const CartPlayer* other = nullptr) {
        clock.renderFed({player->channel(), other != nullptr ? other->channel() : nullptr}, frames);
        clock.engine->dispatchEvents();
    }

    enginetest::TempDir dir;
    HandEngine clock;
    RecordingMessages messages;
    PlayerContext context{*clock.engine, messages};
    int stops = 0;
    QObject* lastStopSender = nullptr;
    std::unique_ptr<CartPlayer> player = makePlayer();
};

} // namespace audio::testing

#pragma once
// A player on the real sound layer whose device 1 is clocked by the test: audio moves only when
// the test renders frames, so every timing check is exact.
#include "audio/cart_player.h"
#include "engine/hand_clock.h"
#include "engine/test_media.h"
#include "support/recording_messages.h"

#include <gtest/gtest.h>

#include <memory>

namespace audio::testing {

class EnginePlayerTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kRate = 44100;
    static constexpr int kHandClockDevice = 1;

    std::unique_ptr<CartPlayer> makePlayer() {
        auto p = std::make_unique<CartPlayer>(context);
        p->initDevice(kHandClockDevice, false, nullptr);
        p->selectDevice(kHandClockDevice);
        p->setBufferLength(1000);
        p->setOnStop([this](QObject*) { ++stops; });
        return p;
    }

    // A stereo 16-bit sine of the given length, written to the test's folder.
    QString tone(const std::string& name, std::uint64_t ms, double hz = 440.0,
                 double amplitude = 0.5,
                 enginetest::SampleFormat format = enginetest::SampleFormat::S16) {
        const std::filesystem::path file = dir.path(name);
        enginetest::writeWav(file, {kRate, 2, format, kRate * ms / 1000},
                             enginetest::sine(hz, kRate, amplitude));
        return QString::fromStdString(file.string());
    }

    void loadTone(std::uint64_t ms) {
        player->load(tone("tone.wav", ms));
        ASSERT_TRUE(player->loaded()) << messages.shown.join('|').toStdString();
    }

    void render(std::uint32_t ms) { clock.renderFed(player->channel(), kRate * ms / 1000); }

    // One timer period of audio, then the player's tick.
    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            render(CartPlayer::kTickMs);
            player->tick();
        }
    }

    enginetest::TempDir dir;
    enginetest::HandClockEngine clock{kRate};
    RecordingMessages messages;
    PlayerContext context{*clock.engine, messages, [] {}};
    int stops = 0;
    std::unique_ptr<CartPlayer> player = makePlayer();
};

} // namespace audio::testing

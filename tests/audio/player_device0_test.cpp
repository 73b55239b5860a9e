// The player on the sound layer's "no sound" device 0, which consumes audio in real time, with
// the engine's events reaching it through the event loop; and a stress run of 98 players on
// that device.
#include "audio/cart_player.h"
#include "audio/wait_until.h"
#include "engine/test_media.h"
#include "support/recording_messages.h"

#include "audio/engine/sound_engine.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>
#include <vector>

namespace audio::testing {
namespace {

constexpr int kNoSoundDevice = 0;

class Device0Test : public ::testing::Test {
protected:
    std::unique_ptr<CartPlayer> makePlayer(int& stopCounter) {
        auto p = std::make_unique<CartPlayer>(context);
        p->initDevice(kNoSoundDevice);
        p->setOnStop([&stopCounter](QObject*) { ++stopCounter; });
        return p;
    }

    QString tone(const std::string& name, std::uint64_t ms, std::uint32_t rate = 44100,
                 std::uint16_t channels = 2) {
        const std::filesystem::path file = dir.path(name);
        enginetest::writeWav(file,
                             {rate, channels, enginetest::SampleFormat::S16, rate * ms / 1000},
                             enginetest::sine(440, rate, 0.3));
        return QString::fromStdString(file.string());
    }

    enginetest::TempDir dir;
    std::unique_ptr<engine::SoundEngine> engine = engine::makeSoundEngine();
    RecordingMessages messages;
    PlayerContext context{*engine, messages};
};

TEST_F(Device0Test, FilePlaysToItsEndAndTheEventLoopStopsIt) {
    int stops = 0;
    auto player = makePlayer(stops);
    player->load(tone("short.wav", 300));
    ASSERT_TRUE(player->loaded());
    QElapsedTimer clock;
    clock.start();
    player->play();
    ASSERT_TRUE(waitUntil([&] { return stops > 0; }));
    // device 0 plays in real time: never early, and stopped soon after the end.
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Device0Test, FadeEndsThePlayerLongBeforeTheFile) {
    int stops = 0;
    auto player = makePlayer(stops);
    player->load(tone("long.wav", 5000));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->positionMs() >= 100; }));
    player->fadeOut(300);
    EXPECT_TRUE(player->isFading());
    ASSERT_TRUE(waitUntil([&] { return stops > 0; }));
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(stops, 1);
}

int stressSeconds() {
    const char* value = std::getenv("BANDORA_STRESS_SECONDS");
    return value != nullptr ? std::max(1, std::atoi(value)) : 8;
}

// 98 players, as the wall has them, each fired, faded, stopped, seeked and unloaded in random
// order while their events arrive. onStop sometimes starts the player again, as looping carts
// do, and some players segue into others.
TEST_F(Device0Test, NinetyEightPlayersUnderRandomCommands) {
    std::vector<QString> files{tone("a.wav", 100),           tone("b.wav", 250, 48000),
                               tone("c.wav", 800, 22050, 1), tone("d.wav", 1500),
                               tone("e.wav", 3000, 32000),   tone("f.wav", 400, 44100, 1)};
    const std::filesystem::path mp3 = dir.path("g.mp3");
    if (enginetest::encode(dir.path("d.wav"), mp3, "-c:a libmp3lame -b:a 128k")) {
        files.push_back(QString::fromStdString(mp3.string()));
    }

    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };

    std::vector<int> stops(98, 0);
    std::vector<std::unique_ptr<CartPlayer>> players;
    for (int i = 0; i < 98; ++i) {
        players.push_back(makePlayer(stops[static_cast<std::size_t>(i)]));
        CartPlayer* p = players.back().get();
        int& counter = stops[static_cast<std::size_t>(i)];
        p->setOnStop([p, &counter, &pick](QObject*) {
            ++counter;
            if (pick(4) == 0) {
                p->play();
            }
        });
    }

    qint64 slowestMs = 0;
    long commands = 0;
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < stressSeconds() * 1000) {
        CartPlayer& p = *players[static_cast<std::size_t>(pick(98))];
        QElapsedTimer one;
        one.start();
        switch (pick(10)) {
        case 0:
            p.load(files[static_cast<std::size_t>(pick(static_cast<int>(files.size())))]);
            break;
        case 1:
        case 2:
            if (p.isEmpty()) {
                p.load(files[static_cast<std::size_t>(pick(static_cast<int>(files.size())))]);
            }
            p.setVolume(static_cast<std::uint32_t>(pick(101)));
            p.play();
            break;
        case 3:
            p.fadeOut(static_cast<std::uint16_t>(pick(1200)));
            break;
        case 4:
            p.stop();
            break;
        case 5:
            p.unload();
            break;
        case 6:
            p.setPositionMs(pick(static_cast<int>(p.lengthMs()) + 1));
            break;
        case 7: {
            std::int32_t a = 0;
            std::int32_t b = 0;
            p.readLevels(a, b);
            EXPECT_LE(std::max(a, b), 22800);
            break;
        }
        case 8:
            p.setLoop(pick(2) == 0);
            p.setPan(pick(201) - 100);
            break;
        default:
            p.armSegue(players[static_cast<std::size_t>(pick(98))].get(),
                       static_cast<std::uint32_t>(pick(1000)), 800); // as the block does
            break;
        }
        slowestMs = std::max(slowestMs, one.elapsed());
        ++commands;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2); // events arrive here
    }

    for (auto& p : players) {
        p->stop();
        p->unload();
        EXPECT_TRUE(p->isEmpty());
    }
    int totalStops = 0;
    for (const int s : stops) {
        totalStops += s;
    }
    std::cout << "stress: " << commands << " commands in " << run.elapsed() << " ms, " << totalStops
              << " OnStop calls, slowest command " << slowestMs << " ms\n";
    EXPECT_GT(totalStops, 0);
    EXPECT_LT(slowestMs, 2000) << "a command hung";
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('|').toStdString();
    players.clear();
}

} // namespace
} // namespace audio::testing

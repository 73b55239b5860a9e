// The player on the real sound layer with a hand-clocked device: ends, fades and levels are
// checked against rendered frames.
#include "audio/engine_player_fixture.h"

#include <array>
#include <vector>

namespace audio::testing {
namespace {

TEST_F(EnginePlayerTest, FileEndsAndStopsAtTheFirstTickAfterItsEnd) {
    loadTone(1000);
    EXPECT_EQ(player->lengthMs(), 1000u);
    player->play();
    tick(16); // 960 ms
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(player->positionMs(), 960u);
    tick(); // 1020 ms
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->positionMs(), 0u);
}

TEST_F(EnginePlayerTest, StopRewindsAndPlayStartsFromTheBeginning) {
    loadTone(3000);
    player->play();
    render(500);
    EXPECT_EQ(player->positionMs(), 500u);
    player->stop();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(player->positionMs(), 0u);
    player->play();
    render(100);
    EXPECT_EQ(player->positionMs(), 100u);
}

TEST_F(EnginePlayerTest, FadeIsShortenedToTheAudioLeft) {
    loadTone(1500);
    player->play();
    render(1000);
    player->fadeOut(800); // 500 ms left: a 450 ms fade
    EXPECT_TRUE(player->isFading());
    render(440);
    EXPECT_TRUE(player->isPlaying());
    render(20); // the slide ends at 450 ms and stops the channel
    player->tick();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->playing());
}

TEST_F(EnginePlayerTest, FadeWithLessThanSixtyMillisecondsLeftStopsAtOnce) {
    for (const std::uint32_t left : {55u, 30u}) {
        stops = 0;
        loadTone(1000);
        player->play();
        render(1000 - left);
        player->fadeOut(800);
        EXPECT_EQ(stops, 1) << left;
        EXPECT_FALSE(player->isFading()) << left;
        EXPECT_EQ(clock.engine->isActive(player->channel()), kChannelStopped) << left;
    }
}

TEST_F(EnginePlayerTest, FadeEndsWhenATickSeesVolumeFourOrLess) {
    loadTone(10000);
    player->play();
    player->fadeOut(1000);
    tick(15);
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(player->isFading());
    tick(); // 960 ms into the fade: volume 4
    EXPECT_EQ(stops, 2);
    EXPECT_FALSE(player->playing());
    EXPECT_LE(player->volume(), 4u);
}

TEST_F(EnginePlayerTest, LevelsFollowTheToneInBinFive) {
    // Bin 5 of a 512-point transform at 44.1 kHz.
    player->load(tone("bin5.wav", 2000, 5 * 44100.0 / 512, 0.02));
    player->play();
    render(200);
    std::array<float, 257> fft{};
    const std::int32_t bytes =
        player->readData(std::as_writable_bytes(std::span(fft)), kDataFft512);
    ASSERT_GT(bytes, 0);
    std::int32_t levelA = -1;
    std::int32_t levelB = -1;
    player->levelsOf(fft, levelA, levelB);
    EXPECT_GT(levelB, 0);
    EXPECT_GT(levelB, levelA);
}

TEST_F(EnginePlayerTest, RefusedAndBrokenFilesLeaveThePlayerEmptyWithAMessage) {
    player->load(tone("u8.wav", 500, 440, 0.5, enginetest::SampleFormat::U8));
    EXPECT_TRUE(player->isEmpty());
    ASSERT_EQ(static_cast<std::size_t>(messages.shown.size()), 1u);
    EXPECT_TRUE(messages.shown[0].startsWith("Erro ao Ler arquivo:"));
    EXPECT_TRUE(messages.shown[0].endsWith(" Dados <> 16-bits stereo"));

    enginetest::writeBytes(dir.path("broken.mp3"), std::string(4000, '\x17'));
    const QString broken = QString::fromStdString(dir.path("broken.mp3").string());
    player->load(broken);
    EXPECT_TRUE(player->isEmpty());
    ASSERT_EQ(static_cast<std::size_t>(messages.shown.size()), 2u);
    EXPECT_TRUE(messages.shown[1].startsWith(
        QStringLiteral("ERRO AO CARREGAR CANAL:\r\rArquivo: ") + broken + "\r\rErro Cod:BS"));
}

TEST_F(EnginePlayerTest, ManyPlayersInitialiseTheirDeviceOnce) {
    std::vector<std::unique_ptr<CartPlayer>> players;
    for (int i = 0; i < 96; ++i) {
        players.push_back(makePlayer());
    }
    // A second initialisation would have been refused with a message.
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(context.openedDevices, QList<int>{kHandClockDevice});
    EXPECT_EQ(players.back()->deviceName(), "Hand clock");
    players.back()->load(tone("last.wav", 300));
    EXPECT_TRUE(players.back()->loaded());
}

} // namespace
} // namespace audio::testing

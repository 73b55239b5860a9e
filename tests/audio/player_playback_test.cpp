// playing, stopping, fading and ending, on the scripted sound layer with a hand-moved clock.
#include "audio/player_fixture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace audio::testing {
namespace {

TEST_F(PlayerTest, EmptyPlayerIgnoresCommandsAndReportsZero) {
    player->setLoop(true);
    player->play();
    player->fadeOut(800);
    player->setPositionMs(500);
    player->setVolume(40);
    player->setPan(-30);
    player->setFrequency(22050);
    EXPECT_EQ(sound.playCalls(), 0);
    EXPECT_TRUE(sound.slides().empty());
    EXPECT_EQ(player->lengthMs(), 0u);
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_EQ(player->volume(), 0u);
    EXPECT_EQ(player->pan(), 0);

    player->stop();
    EXPECT_FALSE(player->playing());
    EXPECT_FALSE(player->loops());
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(PlayerTest, LoadLeavesTheFileReadyAndItsTimerOff) {
    player->setBufferLength(1500);
    load(2500);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(channel().state, kChannelStopped);
    EXPECT_EQ(player->lengthMs(), 2500u);
    EXPECT_EQ(sound.lastBufferMs(), 1500);
    EXPECT_EQ(sound.currentDevice(), kDevice);
    ASSERT_NE(player->timer(), nullptr);
    EXPECT_EQ(player->timer()->interval(), CartPlayer::kTickMs);
    EXPECT_FALSE(player->timer()->enabled());
}

TEST_F(PlayerTest, PlayTwiceStartsOnce) {
    load();
    player->play();
    player->play();
    EXPECT_EQ(sound.playCalls(), 1);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(player->timer()->enabled());
}

TEST_F(PlayerTest, StopRewindsFiresOnStopAndReplaysFromTheStart) {
    load(3000);
    player->play();
    tick(10);
    EXPECT_EQ(player->positionMs(), 600u);
    player->stop();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(lastStopSender, player.get());
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_FALSE(player->timer()->enabled());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_TRUE(player->loaded());

    player->play();
    sound.advance(100);
    EXPECT_EQ(player->positionMs(), 100u);
}

// The gain is looked up by file at each start: unity without a lookup, and a cart already on
// air keeps the level it started with until it starts again.
TEST_F(PlayerTest, EachStartTakesTheFilesPlaybackGain) {
    load(3000);
    player->play();
    EXPECT_FLOAT_EQ(channel().gain, 1.0f);
    player->stop();

    float gain = 0.25f;
    QStringList asked;
    context.playbackGain = [&](const QString& path) {
        asked.append(path);
        return gain;
    };
    player->play();
    EXPECT_FLOAT_EQ(channel().gain, 0.25f);
    EXPECT_EQ(asked, QStringList{kTone});
    gain = 2.0f;
    player->play(); // already playing
    EXPECT_FLOAT_EQ(channel().gain, 0.25f);
    player->stop();
    player->play();
    EXPECT_FLOAT_EQ(channel().gain, 2.0f);
}

TEST_F(PlayerTest, FileThatEndsStopsWithinOneTick) {
    load(1000);
    player->play();
    tick(16); // 960 ms
    EXPECT_EQ(stops, 0);
    tick(); // 1020 ms: the channel ended 20 ms ago
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_FALSE(player->timer()->enabled());
}

TEST_F(PlayerTest, StalledChannelEndsAtTheNextTick) {
    load(5000);
    player->play();
    tick(2);
    sound.stall(player->channel());
    tick();
    EXPECT_EQ(stops, 1);
}

TEST_F(PlayerTest, FadeIsShortenedToEndBeforeTheAudio) {
    load(1500);
    player->play();
    sound.advance(1000); // 500 ms left
    player->fadeOut(800);
    ASSERT_EQ(sound.slides().size(), 1u);
    EXPECT_EQ(sound.slides().front(), 450u);
    EXPECT_TRUE(player->isFading());
    EXPECT_TRUE(player->playing());
    EXPECT_EQ(stops, 0);

    player->fadeOut(300); // shorter than what is left: kept
    EXPECT_EQ(sound.slides().back(), 300u);
}

TEST_F(PlayerTest, FadeWithTooLittleAudioLeftStopsAtOnce) {
    for (const std::uint32_t left : {55u, 30u, 0u}) {
        stops = 0;
        load(1000);
        player->play();
        sound.advance(1000 - left);
        player->fadeOut(800);
        EXPECT_TRUE(sound.slides().empty()) << left << " ms left";
        EXPECT_EQ(stops, 1) << left << " ms left";
        EXPECT_FALSE(player->playing());
    }
}

TEST_F(PlayerTest, FadeOutOnAPlayerThatIsNotPlayingOnlyClearsLoop) {
    load();
    player->setLoop(true);
    player->fadeOut(800);
    EXPECT_FALSE(player->loops());
    EXPECT_EQ(stops, 0);
    player->play();
    channel().state = kChannelStopped; // the sound layer stopped it on its own
    player->fadeOut(800);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(sound.slides().empty());
}

TEST_F(PlayerTest, FadeEndsWhenTheVolumeFallsToFour) {
    load(60000);
    player->play();
    player->fadeOut(1000);
    tick(15); // 900 ms: volume 10
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(player->volume(), 10u);
    tick(); // 960 ms: volume 4; the fade test and the end test both stop the player
    EXPECT_EQ(stops, 2);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_EQ(player->volume(), 4u); // what the fade left
}

TEST_F(PlayerTest, OnStopThatRestartsThePlayerRunsOnceInTheEndingTick) {
    load(60000);
    player->setOnStop([this](QObject*) {
        ++stops;
        player->play();
    });
    player->play();
    player->fadeOut(1000);
    tick(16);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(channel().volume, 4); // plays on at the volume the fade left
}

TEST_F(PlayerTest, FadeThatStopsMovingEndsAfter51StillTicks) {
    load(600000);
    player->play();
    player->fadeOut(1000);
    tick(5);
    sound.freezeSlide(player->channel());
    tick(50);
    EXPECT_EQ(player->stillTicks(), 50);
    EXPECT_EQ(stops, 0);
    tick(); // the 51st unchanged tick: the fade test and the end test both stop
    EXPECT_EQ(stops, 2);
    EXPECT_FALSE(player->playing());
}

TEST_F(PlayerTest, SecondFadeKeepsTheStillCount) {
    load(600000);
    player->play();
    player->fadeOut(2000);
    tick();
    sound.freezeSlide(player->channel());
    tick(30);
    EXPECT_EQ(player->stillTicks(), 30);
    player->fadeOut(2000); // a new slide from the same volume
    sound.freezeSlide(player->channel());
    tick();
    EXPECT_EQ(player->stillTicks(), 31);
    EXPECT_EQ(sound.slides().size(), 2u);
}

TEST_F(PlayerTest, PlayAfterAFadeUsesTheVolumeTheFadeLeft) {
    load(60000);
    player->setVolume(80);
    player->play();
    player->fadeOut(1000);
    tick(16);
    ASSERT_FALSE(player->playing());
    player->play();
    EXPECT_EQ(channel().volume, 3); // 80 faded for 960 of 1000 ms
}

TEST_F(PlayerTest, LoopIsAppliedWhilePlayingAndClearedByStop) {
    load(1000);
    player->setLoop(true);
    EXPECT_EQ(channel().flags, 0u); // not playing yet
    player->play();
    EXPECT_EQ(channel().flags, kChannelLoop);
    tick(20); // past the end: the channel loops, nothing stops
    EXPECT_EQ(stops, 0);
    player->stop();
    EXPECT_EQ(channel().flags, 0u);
    EXPECT_FALSE(player->loops());
}

TEST_F(PlayerTest, SeekAndAttributes) {
    load(10000);
    player->setPositionMs(2500);
    EXPECT_EQ(player->positionMs(), 2500u);
    player->setVolume(55);
    EXPECT_EQ(channel().volume, 55);
    player->setPan(-40);
    EXPECT_EQ(channel().pan, -40);
    EXPECT_EQ(player->pan(), -40);
    player->setFrequency(22050); // the channel is not active: refused
    EXPECT_EQ(channel().rate, 44100u);
    player->play();
    player->setFrequency(22050);
    EXPECT_EQ(player->frequency(), 22050u);
    player->setPan(300); // refused by the sound layer: not stored
    EXPECT_EQ(player->pan(), -40);
}

TEST_F(PlayerTest, LevelFormulaExamples) {
    EXPECT_EQ(levelOfMagnitude(0.2f), 22800);
    EXPECT_EQ(levelOfMagnitude(-0.2f), 22800);
    EXPECT_EQ(levelOfMagnitude(0.05f), 11400);
    EXPECT_EQ(levelOfMagnitude(0.01f), 4400);
    EXPECT_EQ(levelOfMagnitude(0.0f), 0);
    EXPECT_EQ(levelOfMagnitude(5.0f), 22800);
    EXPECT_EQ(levelOfMagnitude(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(levelOfMagnitude(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(levelOfMagnitude(1e30f), 0);
}

TEST_F(PlayerTest, LevelsComeFromElementsFiveAndSixWhilePlaying) {
    std::array<float, 256> fft{};
    fft[5] = 0.2f;
    fft[6] = 0.0f;
    std::int32_t a = -1;
    std::int32_t b = -1;
    load();
    player->levelsOf(fft, a, b);
    EXPECT_EQ(a, -1); // not playing: untouched
    player->play();
    player->levelsOf(fft, a, b);
    EXPECT_EQ(b, 22800);
    EXPECT_EQ(a, 0);
}

TEST_F(PlayerTest, DataReadOnlyWhilePlayingAndClearedOnFailure) {
    std::array<std::byte, CartPlayer::kDataBufferBytes> buffer;
    buffer.fill(std::byte{0x7F});
    load();
    EXPECT_EQ(player->readData(buffer, kDataFft512), 0);
    EXPECT_EQ(buffer[0], std::byte{0x7F});

    player->play();
    sound.setFft({0.f, 0.f, 0.f, 0.f, 0.f, 0.5f});
    EXPECT_EQ(player->readData(buffer, kDataFft512), 1024);
    float bin5 = 0;
    std::memcpy(&bin5, buffer.data() + 5 * sizeof(float), sizeof(float));
    EXPECT_EQ(bin5, 0.5f);

    buffer.fill(std::byte{0x7F});
    sound.failDataReads(true);
    EXPECT_EQ(player->readData(buffer, kDataFft512), -1);
    EXPECT_TRUE(
        std::all_of(buffer.begin(), buffer.end(), [](std::byte b) { return b == std::byte{0}; }));

    std::array<std::byte, 512> small{};
    EXPECT_EQ(player->readData(small, kDataFft512), 0); // too small to be written safely
}

} // namespace
} // namespace audio::testing

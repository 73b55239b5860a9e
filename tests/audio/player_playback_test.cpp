// Playing, stopping, fading, looping and ending, checked against rendered frames.
#include "audio/player_fixture.h"

#include <algorithm>
#include <cmath>
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
    player->stop();
    EXPECT_EQ(player->lengthMs(), 0u);
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_EQ(player->volume(), 0u);
    EXPECT_EQ(player->pan(), 0);
    EXPECT_FALSE(player->loops());
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(player->isEmpty());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->armSegue(nullptr, 500, 300));
}

TEST_F(PlayerTest, LoadLeavesTheFileReadyAtItsStart) {
    loadTone(2500);
    render(100);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->lengthMs(), 2500u);
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_EQ(player->volume(), 100u);
    EXPECT_EQ(player->frequency(), kRate);
}

TEST_F(PlayerTest, SecondPlayKeepsThePlaceInsteadOfRestarting) {
    loadTone(3000);
    player->play();
    render(100);
    player->play();
    render(100);
    EXPECT_EQ(player->positionMs(), 200u);
}

TEST_F(PlayerTest, StopRewindsFiresOnStopAndReplaysFromTheStart) {
    loadTone(3000);
    player->play();
    render(600);
    EXPECT_EQ(player->positionMs(), 600u);
    player->stop();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(lastStopSender, player.get());
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_TRUE(player->loaded());

    player->play();
    render(100);
    EXPECT_EQ(player->positionMs(), 100u);
    EXPECT_EQ(stops, 1);
}

TEST_F(PlayerTest, FileThatEndsFiresOnStopOnceAndRewinds) {
    loadTone(1000);
    player->play();
    render(990);
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(player->positionMs(), 990u);
    render(20);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->positionMs(), 0u);
    render(100);
    EXPECT_EQ(stops, 1);
}

TEST_F(PlayerTest, FadeIsShortenedToEndFiftyMillisecondsBeforeTheAudio) {
    loadTone(1500);
    player->play();
    render(1000);
    player->fadeOut(800); // 500 ms left: a 450 ms fade
    EXPECT_TRUE(player->isFading());
    render(440);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(stops, 0);
    render(20);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->positionMs(), 0u);
}

TEST_F(PlayerTest, FadeShorterThanTheAudioLeftKeepsItsLength) {
    loadTone(1500);
    player->play();
    render(1000);
    player->fadeOut(300);
    render(290);
    EXPECT_TRUE(player->isPlaying());
    render(20);
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(PlayerTest, FadeWithTooLittleAudioLeftStopsAtOnce) {
    for (const std::uint32_t left : {50u, 30u}) {
        loadTone(1000);
        stops = 0;
        player->play();
        render(1000 - left);
        player->fadeOut(800);
        EXPECT_EQ(stops, 1) << left << " ms left";
        EXPECT_FALSE(player->isPlaying()) << left;
        EXPECT_FALSE(player->isFading()) << left;
    }
    loadTone(1000);
    player->play();
    render(940);
    player->fadeOut(800); // 60 ms left: the shortest fade, 10 ms
    EXPECT_TRUE(player->isFading());
}

// One end, one onStop: the fade's silence and the channel's stop are the same end.
TEST_F(PlayerTest, FadesEndFiresOnStopExactlyOnce) {
    loadTone(10000);
    player->play();
    player->fadeOut(1000);
    render(990);
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(player->isFading());
    render(20);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->positionMs(), 0u);
    render(100);
    EXPECT_EQ(stops, 1);
}

// The channel ended on its own and its event is still on the way when the fade is asked for:
// the fade ends the play at once, and the late event ends nothing more.
TEST_F(PlayerTest, FadeOfAChannelThatAlreadyEndedStopsOnce) {
    loadTone(500);
    player->setLoop(true);
    player->fadeOut(800);
    EXPECT_FALSE(player->loops()) << "a fade clears the loop even when not playing";
    EXPECT_EQ(stops, 0);

    player->play();
    clock.renderFed({player->channel()}, kRate); // past the end, not dispatched
    player->fadeOut(800);
    EXPECT_EQ(stops, 1);
    clock.engine->dispatchEvents();
    EXPECT_EQ(stops, 1);
}

TEST_F(PlayerTest, OnStopMayStartThePlayerAgain) {
    loadTone(10000);
    player->setOnStop([this](QObject*) {
        ++stops;
        player->play();
    });
    player->play();
    player->fadeOut(500);
    render(510);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(player->isPlaying());
    render(100);
    EXPECT_EQ(player->positionMs(), 100u) << "from the start";
}

TEST_F(PlayerTest, PlayAfterAFadeStartsAtTheSetVolume) {
    loadTone(10000);
    player->setVolume(80);
    player->play();
    player->fadeOut(500);
    render(510);
    ASSERT_FALSE(player->isPlaying());
    player->play();
    render(10);
    EXPECT_EQ(player->volume(), 80u);
}

// The gain is looked up by file at each start: unity without a lookup, and a cart already on
// air keeps the level it started with until it starts again.
TEST_F(PlayerTest, EachStartTakesTheFilesPlaybackGain) {
    loadTone(3000);
    HandSink& sink = clock.devices->sink(kDevice);
    const auto peakOfNext100Ms = [&] {
        render(50); // past the start's ramp
        sink.captured.clear();
        sink.capture = true;
        render(100);
        sink.capture = false;
        float peak = 0.0f;
        for (const float sample : sink.captured) {
            peak = std::max(peak, std::fabs(sample));
        }
        return peak;
    };
    player->play();
    const float unity = peakOfNext100Ms();
    ASSERT_GT(unity, 0.1f);
    player->stop();

    float gain = 0.25f;
    QStringList asked;
    context.playbackGain = [&](const QString& path) {
        asked.append(path);
        return gain;
    };
    player->play();
    EXPECT_NEAR(peakOfNext100Ms(), unity * 0.25f, 0.01f);
    EXPECT_EQ(asked, QStringList{player->fileName()});
    gain = 1.0f;
    player->play(); // already playing
    EXPECT_NEAR(peakOfNext100Ms(), unity * 0.25f, 0.01f);
    player->stop();
    player->play();
    EXPECT_NEAR(peakOfNext100Ms(), unity, 0.01f);
}

TEST_F(PlayerTest, LoopTurnsInsideTheMixerWithoutOnStop) {
    int turns = 0;
    player->setOnLoopTurned([&](QObject* sender) {
        EXPECT_EQ(sender, player.get());
        ++turns;
    });
    loadTone(1000);
    player->setLoop(true); // set before the start: holds from its first sample
    player->play();
    render(1100);
    EXPECT_EQ(turns, 1);
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->positionMs(), 100u);

    player->setLoop(false); // plays to the end this time
    render(890);
    EXPECT_EQ(stops, 0);
    render(20);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(turns, 1);
}

TEST_F(PlayerTest, StopClearsTheLoop) {
    loadTone(500);
    player->setLoop(true);
    player->play();
    player->stop();
    EXPECT_FALSE(player->loops());
    player->play();
    render(510);
    EXPECT_EQ(stops, 2) << "the next play ends at the end of the file";
}

TEST_F(PlayerTest, SeekVolumePanAndFrequency) {
    loadTone(10000);
    player->setPositionMs(2500);
    EXPECT_EQ(player->positionMs(), 2500u);
    player->setPositionMs(20000); // past the end: refused
    EXPECT_EQ(player->positionMs(), 2500u);
    player->setVolume(55);
    EXPECT_EQ(player->volume(), 55u);
    player->setPan(-40);
    EXPECT_EQ(player->pan(), -40);
    player->setFrequency(22050); // not playing: refused
    EXPECT_EQ(player->frequency(), kRate);

    player->play();
    player->setFrequency(22050);
    EXPECT_EQ(player->frequency(), 22050u);
    render(1000);
    EXPECT_EQ(player->positionMs(), 3000u) << "half speed: half a second of the file";
    EXPECT_EQ(player->volume(), 55u);
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

TEST_F(PlayerTest, LevelsAreReadOnlyWhilePlayingAndFollowTheToneInBinFive) {
    player->load(tone("bin5.wav", 2000, 5 * 44100.0 / 512, 0.02));
    std::int32_t levelA = -1;
    std::int32_t levelB = -1;
    EXPECT_FALSE(player->readLevels(levelA, levelB));
    EXPECT_EQ(levelA, -1) << "untouched";
    player->play();
    render(200);
    ASSERT_TRUE(player->readLevels(levelA, levelB));
    EXPECT_GT(levelB, 0);
    EXPECT_GT(levelB, levelA);
}

} // namespace
} // namespace audio::testing

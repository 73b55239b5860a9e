// The segue armed in the mixer: the outgoing player fades and the next one starts on one frame.
#include "audio/player_fixture.h"

namespace audio::testing {
namespace {

class SegueTest : public PlayerTest {
protected:
    SegueTest() {
        player->setOnSegue([this](QObject* sender) {
            ++segues;
            segueSender = sender;
        });
        player->load(tone("out.wav", 2000));
        next->load(tone("next.wav", 3000, 660));
        next->setOnStop([this](QObject*) { ++nextStops; });
    }
    engine::Frames framesOf(std::uint32_t ms) const {
        return engine::Frames::fromDuration(std::chrono::milliseconds(ms), kRate);
    }

    std::unique_ptr<CartPlayer> next = makePlayer();
    int segues = 0;
    QObject* segueSender = nullptr;
    int nextStops = 0;
};

TEST_F(SegueTest, NextStartsOnTheCueFrameAndTheOutgoingFadesOnce) {
    player->play();
    ASSERT_TRUE(player->armSegue(next.get(), 500, 300));
    render(1490, next.get());
    EXPECT_FALSE(next->isPlaying());
    EXPECT_EQ(segues, 0);

    render(20, next.get());
    EXPECT_EQ(segues, 1);
    EXPECT_EQ(segueSender, player.get());
    EXPECT_TRUE(next->isPlaying());
    EXPECT_TRUE(player->isFading());
    // Both move on one clock from the cue frame: the next is as far in as the outgoing is past
    // the cue.
    EXPECT_EQ(next->channel()->position(), player->channel()->position() - framesOf(1500));

    render(280, next.get());
    EXPECT_TRUE(player->isPlaying());
    render(20, next.get());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(lastStopSender, player.get());
    EXPECT_TRUE(next->isPlaying());
    EXPECT_EQ(nextStops, 0);
    EXPECT_EQ(segues, 1);
}

TEST_F(SegueTest, CuePointAlreadyPassedSeguesAtOnce) {
    player->play();
    render(1600, next.get());
    ASSERT_TRUE(player->armSegue(next.get(), 500, 300));
    render(5, next.get());
    EXPECT_EQ(segues, 1);
    EXPECT_TRUE(next->isPlaying());
    EXPECT_TRUE(player->isFading());
}

// Without a next player the segue only fades, shortened as a fade-out is: 450 ms from the cue.
TEST_F(SegueTest, WithoutNextItOnlyFadesShortenedToTheAudioLeft) {
    player->play();
    ASSERT_TRUE(player->armSegue(nullptr, 500, 800));
    render(1510);
    EXPECT_EQ(segues, 1);
    EXPECT_TRUE(player->isFading());
    render(430);
    EXPECT_TRUE(player->isPlaying());
    render(20);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(next->isPlaying());
}

TEST_F(SegueTest, StopFadeOrCancelLeavesNoSegue) {
    player->play();
    ASSERT_TRUE(player->armSegue(next.get(), 500, 300));
    player->cancelSegue();
    render(1600, next.get());
    EXPECT_EQ(segues, 0);
    EXPECT_FALSE(next->isPlaying());
    EXPECT_TRUE(player->isPlaying());

    player->stop();
    player->play();
    ASSERT_TRUE(player->armSegue(next.get(), 500, 300));
    player->stop();
    player->play();
    render(1600, next.get());
    EXPECT_EQ(segues, 0) << "a stop cancels it";

    player->stop();
    player->play();
    ASSERT_TRUE(player->armSegue(next.get(), 500, 300));
    player->fadeOut(1800);
    render(1600, next.get());
    EXPECT_EQ(segues, 0) << "so does a fade";
    EXPECT_FALSE(next->isPlaying());
}

TEST_F(SegueTest, NothingIsArmedOnAPlayerThatIsNotPlaying) {
    EXPECT_FALSE(player->armSegue(next.get(), 500, 300));
    player->play();
    render(2010);
    EXPECT_EQ(segues, 0);
    EXPECT_FALSE(next->isPlaying());
}

} // namespace
} // namespace audio::testing

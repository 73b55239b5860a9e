// Marks on the hand clock: a cart plays cue-in..cue-out to the frame, loops inside that range
// without a gap, and segues at its segue mark.
#include "audio/player_fixture.h"

namespace audio::testing {
namespace {

// Every frame of the file says which frame it is, so the output shows what played.
double frameValue(std::uint64_t frame) {
    return static_cast<double>(frame + 1) / 32768.0;
}

class MarksTest : public PlayerTest {
protected:
    static constexpr std::int64_t kCueIn = 1000;
    static constexpr std::int64_t kCueOut = 5000;

    QString countingFile(const std::string& name, std::uint64_t frames) {
        const std::filesystem::path file = dir.path(name);
        enginetest::writeWav(file, {kRate, 1, enginetest::SampleFormat::F32, frames},
                             [](std::uint64_t i, int) { return frameValue(i); });
        return QString::fromStdString(file.string());
    }
    HandSink& sink() { return clock.devices->sink(kDevice); }
    // The left channel of what came out, from `from` on.
    std::vector<float> left(std::size_t from = 0) const {
        std::vector<float> out;
        const std::vector<float>& all = clock.devices->sink(kDevice).captured;
        for (std::size_t i = from * 2; i < all.size(); i += 2) {
            out.push_back(all[i]);
        }
        return out;
    }
    // The output's frames match the file's frames first.. in order.
    void expectFrames(const std::vector<float>& out, std::size_t from, std::size_t count,
                      std::int64_t first) {
        ASSERT_GE(out.size(), from + count);
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_NEAR(out[from + k], frameValue(static_cast<std::uint64_t>(first) + k), 1e-6)
                << "output frame " << from + k;
        }
    }

    PlayMarks trim() const {
        PlayMarks marks;
        marks.cueIn = kCueIn;
        marks.cueOut = kCueOut;
        return marks;
    }
};

TEST_F(MarksTest, PlaysFromCueInToCueOutToTheFrame) {
    player->load(countingFile("count.wav", 20000));
    PlayMarks marks = trim();
    marks.introEnd = kCueIn + 2205; // 50 ms in
    player->setMarks(marks);
    EXPECT_EQ(player->lengthMs(), 90u) << "4000 frames";
    EXPECT_EQ(player->positionMs(), 0u);
    EXPECT_EQ(player->introLeftMs(), std::optional<std::uint32_t>(50));

    sink().capture = true;
    player->play();
    renderFrames(kCueOut - kCueIn - 1);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(player->introLeftMs(), std::nullopt) << "the intro is over";
    renderFrames(1);
    EXPECT_FALSE(player->isPlaying()) << "ends on the cue-out frame";
    EXPECT_EQ(stops, 1);
    renderFrames(100);

    const std::vector<float> out = left();
    expectFrames(out, 0, kCueOut - kCueIn, kCueIn);
    for (std::size_t k = kCueOut - kCueIn; k < out.size(); ++k) {
        ASSERT_EQ(out[k], 0.0f) << "nothing after cue-out, output frame " << k;
    }
    EXPECT_EQ(player->channel()->position(), engine::Frames(kCueIn)) << "back at cue-in";
}

TEST_F(MarksTest, LoopTurnsFromCueOutToCueInWithoutAGap) {
    int turns = 0;
    player->setOnLoopTurned([&](QObject*) { ++turns; });
    player->load(countingFile("count.wav", 20000));
    player->setMarks(trim());
    player->setLoop(true);
    sink().capture = true;
    player->play();
    renderFrames(2 * (kCueOut - kCueIn) + 300);

    EXPECT_EQ(turns, 2);
    EXPECT_TRUE(player->isPlaying());
    const std::vector<float> out = left();
    const auto span = static_cast<std::size_t>(kCueOut - kCueIn);
    expectFrames(out, 0, span, kCueIn);
    expectFrames(out, span, span, kCueIn);
    expectFrames(out, 2 * span, 300, kCueIn);
    EXPECT_EQ(player->positionMs(), 6u) << "300 frames into the range";
}

TEST_F(MarksTest, SeguesOnTheSegueMarkIntoTheNextCartsCueIn) {
    auto next = makePlayer();
    int segues = 0;
    player->setOnSegue([&](QObject*) { ++segues; });
    player->load(countingFile("out.wav", 20000));
    PlayMarks marks = trim();
    marks.segueStart = 3000;
    player->setMarks(marks);
    next->load(countingFile("next.wav", 20000));
    PlayMarks nextMarks;
    nextMarks.cueIn = 7000;
    next->setMarks(nextMarks);
    EXPECT_EQ(player->segueLeadMs(500), 45u) << "2000 frames before cue-out, not 500 ms";

    player->play();
    ASSERT_TRUE(player->armSegue(next.get(), 500, 0));
    // Frames 1000..2999 play; the next cart's first frame takes the place of frame 3000.
    renderFrames(2000, next.get());
    EXPECT_FALSE(next->isPlaying());
    renderFrames(1, next.get());
    EXPECT_EQ(segues, 1);
    EXPECT_TRUE(next->isPlaying());
    EXPECT_FALSE(player->isPlaying()) << "no fade: it stops on the mark";
    EXPECT_EQ(next->channel()->position(), engine::Frames(7001));
}

TEST_F(MarksTest, NewMarksWhilePlayingHoldFromTheStopAndEmptyRangesAreIgnored) {
    player->load(countingFile("count.wav", 20000));
    player->play();
    render(10);
    player->setMarks(trim());
    EXPECT_EQ(player->lengthMs(), 453u) << "the whole file while it plays";
    player->stop();
    EXPECT_EQ(player->lengthMs(), 90u);
    EXPECT_EQ(player->channel()->position(), engine::Frames(kCueIn));

    PlayMarks reversed;
    reversed.cueIn = kCueOut;
    reversed.cueOut = kCueIn;
    player->setMarks(reversed);
    EXPECT_EQ(player->lengthMs(), 453u);
    EXPECT_EQ(player->channel()->position(), engine::Frames(0));

    player->load(countingFile("other.wav", 4410));
    EXPECT_EQ(player->lengthMs(), 100u) << "a load forgets the marks";
}

} // namespace
} // namespace audio::testing

// Loops and segues on the hand clock, mostly at the files' own rate, so the output can be
// compared with the decoded files sample for sample: a loop turns without a frame missing or
// repeated, the loop flag counts where the file ends, a cue starts the next channel on its exact
// frame, and positions hold past what 32 bits of bytes could count.
#include "audio/engine/media_source.h"
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

using namespace audio::engine;
using namespace enginetest;
using Kind = ChannelEvent::Kind;

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::size_t kLoopFrames = 22000; // 220 whole cycles of 441 Hz, 440 of 882 Hz
constexpr std::size_t kPasses = 20;

// Whole cycles, so the loop is seamless, and a level that rises through the file, so no two
// cycles are alike and a frame missing or repeated anywhere shows.
double loopSample(std::uint64_t i, int ch) {
    const double level = 0.3 + 0.5 * double(i) / kLoopFrames;
    const double hz = ch == 0 ? 441.0 : 882.0;
    return level * std::sin(2.0 * std::numbers::pi * hz * double(i) / kRate + ch);
}

// The whole file as the engine's decoder gives it at the file's own rate.
std::vector<float> decodeFile(const std::filesystem::path& file) {
    Failure error;
    auto source = MediaSource::open(file.string(), false, MediaSource::kSourceRate, error);
    EXPECT_FALSE(error) << file << ": " << *error;
    std::vector<float> out;
    while (source && source->decode(out)) {
    }
    return out;
}

std::vector<float> repeated(const std::vector<float>& pass, std::size_t times) {
    std::vector<float> out;
    out.reserve(pass.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out.insert(out.end(), pass.begin(), pass.end());
    }
    return out;
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b,
                         std::size_t fromFrame, std::size_t toFrame) {
    double worst = 0.0;
    for (std::size_t i = fromFrame * 2; i < toFrame * 2 && i < a.size() && i < b.size(); ++i) {
        worst = std::max(worst, std::abs(double(a[i]) - double(b[i])));
    }
    return worst;
}

// How many frames `out` is ahead of `expected` just after frame `at` (positive: frames went
// missing before it, negative: frames were repeated), searched within +-kSearch frames.
long offsetAfter(const std::vector<float>& out, const std::vector<float>& expected,
                 std::size_t at) {
    constexpr long kSearch = 64;
    constexpr std::size_t kWindow = 256;
    long best = 0;
    double bestError = HUGE_VAL;
    for (long shift = -kSearch; shift <= kSearch; ++shift) {
        double error = 0.0;
        for (std::size_t k = 0; k < kWindow * 2; ++k) {
            const long j = long(at * 2 + k) + shift * 2;
            if (at * 2 + k >= out.size() || j < 0 || std::size_t(j) >= expected.size()) {
                error = HUGE_VAL;
                break;
            }
            error += std::abs(double(out[at * 2 + k]) - double(expected[std::size_t(j)]));
        }
        if (error < bestError) {
            bestError = error;
            best = shift;
        }
    }
    return best;
}

// The largest magnitude on side `ch` from frame `from` to the end.
double peakFrom(const std::vector<float>& stereo, std::size_t from, int ch) {
    double peak = 0.0;
    for (std::size_t i = from; i * 2 + 1 < stereo.size(); ++i) {
        peak = std::max(peak, std::abs(double(stereo[i * 2 + std::size_t(ch)])));
    }
    return peak;
}

std::size_t firstNonZero(const std::vector<float>& stereo, int ch) {
    for (std::size_t i = 0; i * 2 + 1 < stereo.size(); ++i) {
        if (stereo[i * 2 + std::size_t(ch)] != 0.0f) {
            return i;
        }
    }
    return SIZE_MAX;
}

class HandClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(engine().openDevice(HandClockEngine::kDevice), Failure());
        engine().setBufferLength(std::chrono::milliseconds(1000));
    }
    SoundEngine& engine() { return *clock.engine; }
    std::unique_ptr<Channel> open(const std::filesystem::path& file) {
        auto opened = engine().open(HandClockEngine::kDevice, file.string());
        if (!opened) {
            ADD_FAILURE() << file << ": " << opened.error();
            return nullptr;
        }
        return opened.take();
    }
    const std::vector<float>& out() { return clock.sink().captured(); }

    TempDir dir;
    HandClockEngine clock{kRate};
};

// ---- Loops ----

class LoopTest : public HandClockTest {
protected:
    static void SetUpTestSuite() {
        media = new TempDir();
        writeWav(wav(), {kRate, 2, SampleFormat::S16, kLoopFrames}, loopSample);
        ASSERT_TRUE(encode(wav(), mp3(), "-c:a libmp3lame -b:a 192k"));
    }
    static void TearDownTestSuite() { delete media; }
    static std::filesystem::path wav() { return media->path("loop.wav"); }
    static std::filesystem::path mp3() { return media->path("loop.mp3"); }

    // Loops the file kPasses times, clearing the loop flag half way through the last pass;
    // the output must be the file's own decoded pass that many times over, then silence.
    void expectGaplessLoop(const std::filesystem::path& file) {
        const std::vector<float> pass = decodeFile(file);
        ASSERT_EQ(pass.size(), kLoopFrames * 2) << "the decoder's own pass has the file's length";
        auto ch = open(file);
        ASSERT_TRUE(ch);
        ASSERT_EQ(ch->length(), Frames(kLoopFrames));
        EventLog events;
        HandClockEngine::record(*ch, events);
        ch->setLoop(true);
        ASSERT_EQ(ch->play(), Failure());
        clock.sink().setCapture(true);
        const std::size_t total = kLoopFrames * kPasses;
        clock.renderFed(*ch, total - kLoopFrames / 2);
        EXPECT_EQ(ch->position(), Frames(kLoopFrames / 2)) << "the position goes round too";
        ch->setLoop(false);
        clock.renderFed(*ch, kLoopFrames / 2 - 1);
        EXPECT_EQ(ch->state(), ChannelState::Playing);
        clock.renderFed(*ch, 1);
        EXPECT_EQ(ch->state(), ChannelState::Stopped) << "ends on the last frame of the last pass";
        EXPECT_EQ(ch->position(), ch->length());
        clock.render(blockFramesFor(kRate));

        EventLog expectedEvents(kPasses - 1, Kind::LoopTurned);
        expectedEvents.push_back(Kind::Ended);
        EXPECT_EQ(events, expectedEvents);
        const std::vector<float> expected = repeated(pass, kPasses);
        ASSERT_GE(out().size(), expected.size());
        for (std::size_t seam = 1; seam < kPasses; ++seam) {
            EXPECT_EQ(offsetAfter(out(), expected, seam * kLoopFrames), 0)
                << "frames missing (+) or repeated (-) up to turn " << seam;
        }
        EXPECT_LE(largestDifference(out(), expected, 0, total), 1e-6);
        for (int side : {0, 1}) {
            EXPECT_EQ(peakFrom(out(), total, side), 0.0) << "nothing of a next pass after the end";
        }
    }

    static TempDir* media;
};

TempDir* LoopTest::media = nullptr;

TEST_F(LoopTest, WavLoopsSampleForSample) {
    expectGaplessLoop(wav());
}

// The decoder reads across the end into the next pass, with the encoder's delay and padding
// trimmed at every turn, not only at the first start.
TEST_F(LoopTest, Mp3LoopsSampleForSample) {
    expectGaplessLoop(mp3());
}

TEST_F(LoopTest, LoopClearedBeforeTheEndEndsThere) {
    auto ch = open(wav());
    ASSERT_TRUE(ch);
    EventLog events;
    HandClockEngine::record(*ch, events);
    ch->setLoop(true);
    ASSERT_EQ(ch->play(), Failure());
    clock.sink().setCapture(true);
    clock.renderFed(*ch, kLoopFrames / 4);
    ASSERT_TRUE(ch->waitBuffered(kLoopFrames, std::chrono::seconds(5)))
        << "the decoder has read on into the next pass";
    ch->setLoop(false);
    clock.renderFed(*ch, kLoopFrames - kLoopFrames / 4 + 4410);
    EXPECT_EQ(events, EventLog{Kind::Ended});
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    EXPECT_EQ(ch->position(), ch->length());
    for (int side : {0, 1}) {
        EXPECT_EQ(peakFrom(out(), kLoopFrames, side), 0.0) << "silent after the end";
    }
}

TEST_F(LoopTest, LoopSetShortlyBeforeTheEndTurns) {
    const std::vector<float> pass = decodeFile(wav());
    auto ch = open(wav());
    ASSERT_TRUE(ch);
    EventLog events;
    HandClockEngine::record(*ch, events);
    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, kLoopFrames - 4410);
    ASSERT_TRUE(ch->waitBuffered(kLoopFrames, std::chrono::seconds(5)))
        << "not looping, the decoder has reached the end and stopped there";
    clock.sink().setCapture(true);
    ch->setLoop(true); // 100 ms before the end
    clock.renderFed(*ch, 4410 + 4410);
    EXPECT_EQ(events, EventLog{Kind::LoopTurned});
    EXPECT_EQ(ch->state(), ChannelState::Playing);
    EXPECT_EQ(ch->position(), Frames(4410));
    std::vector<float> expected(pass.end() - 4410 * 2, pass.end());
    expected.insert(expected.end(), pass.begin(), pass.begin() + 4410 * 2);
    EXPECT_EQ(offsetAfter(out(), expected, 4410), 0) << "frames missing or repeated at the turn";
    EXPECT_LE(largestDifference(out(), expected, 0, 4410 * 2), 1e-6);
}

// At a device rate other than the file's, the loop goes round inside the resampler: the output
// is what resampling the passes back to back gives, with no seam at the turns.
TEST_F(LoopTest, ResampledLoopIsThePassesBackToBackResampled) {
    constexpr std::uint32_t kDeviceRate = 48000;
    const auto passes = dir.path("three-passes.wav");
    writeWav(passes, {kRate, 2, SampleFormat::S16, kLoopFrames * 3},
             [](std::uint64_t i, int ch) { return loopSample(i % kLoopFrames, ch); });
    Failure error;
    auto source = MediaSource::open(passes.string(), false, kDeviceRate, error);
    ASSERT_TRUE(source) << *error;
    std::vector<float> expected;
    while (source->decode(expected)) {
    }

    HandClockEngine resampling(kDeviceRate);
    ASSERT_EQ(resampling.engine->openDevice(HandClockEngine::kDevice), Failure());
    auto opened = resampling.engine->open(HandClockEngine::kDevice, wav().string());
    ASSERT_TRUE(opened) << opened.error();
    Channel& ch = *opened.value();
    EventLog events;
    HandClockEngine::record(ch, events);
    ch.setLoop(true);
    ASSERT_EQ(ch.play(), Failure());
    resampling.sink().setCapture(true);
    const std::size_t frames = expected.size() / 2 - kDeviceRate / 10;
    resampling.renderFed(ch, frames);
    EXPECT_EQ(events, EventLog(2, Kind::LoopTurned));
    const std::vector<float>& played = resampling.sink().captured();
    for (std::size_t seam = 1; seam < 3; ++seam) {
        EXPECT_EQ(offsetAfter(played, expected, seam * kLoopFrames * kDeviceRate / kRate), 0)
            << "frames missing (+) or repeated (-) up to turn " << seam;
    }
    EXPECT_LE(largestDifference(played, expected, 0, frames), 1e-4);
}

// ---- Segues ----

constexpr std::size_t kSegueLength = kRate;             // channel A: 1 s
constexpr std::size_t kMixFrames = 11025;               // B starts this long before A's end
constexpr std::size_t kFadeFrames = 8820;               // A fades out over this from there
constexpr std::size_t kCue = kSegueLength - kMixFrames; // not on a block boundary

// A sounds only on the left, B only on the right, from its very first frame: each channel's
// share of the output can be read on its own side.
class SegueTest : public HandClockTest {
protected:
    void SetUp() override {
        HandClockTest::SetUp();
        writeWav(dir.path("a.wav"), {kRate, 2, SampleFormat::S16, kSegueLength},
                 [](std::uint64_t i, int ch) { return ch == 0 ? sine(440, kRate, 0.5)(i, 0) : 0; });
        writeWav(dir.path("b.wav"), {kRate, 2, SampleFormat::S16, kRate},
                 [](std::uint64_t i, int ch) {
                     return ch == 1 ? 0.5 * std::cos(2 * std::numbers::pi * 1000 * i / kRate) : 0;
                 });
        a = decodeFile(dir.path("a.wav"));
        b = decodeFile(dir.path("b.wav"));
        first = open(dir.path("a.wav"));
        next = open(dir.path("b.wav"));
        ASSERT_TRUE(first && next);
        HandClockEngine::record(*first, firstEvents);
        HandClockEngine::record(*next, nextEvents);
        clock.sink().setCapture(true);
        ASSERT_EQ(first->play(), Failure());
    }
    void render(std::size_t frames) { clock.renderFed({first.get(), next.get()}, frames); }
    void expectNextNeverStarts() {
        EXPECT_EQ(next->state(), ChannelState::Stopped);
        EXPECT_TRUE(nextEvents.empty());
        EXPECT_EQ(firstNonZero(out(), 1), SIZE_MAX) << "nothing of B in the output";
    }

    std::vector<float> a;
    std::vector<float> b;
    std::unique_ptr<Channel> first;
    std::unique_ptr<Channel> next;
    EventLog firstEvents;
    EventLog nextEvents;
};

TEST_F(SegueTest, NextStartsAndFadeBeginsOnTheCueFrame) {
    ASSERT_EQ(first->armCue(Frames(kCue), next.get(), Frames(kFadeFrames)), Failure());
    render(kSegueLength + 4410);
    EXPECT_EQ(firstEvents, (EventLog{Kind::CueReached, Kind::FadedOut}));
    EXPECT_EQ(nextEvents, EventLog{Kind::CueStarted});
    EXPECT_EQ(first->state(), ChannelState::Stopped);
    EXPECT_EQ(next->state(), ChannelState::Playing);
    EXPECT_EQ(next->position(), Frames(kSegueLength + 4410 - kCue));

    EXPECT_EQ(std::int64_t(firstNonZero(out(), 1)) - std::int64_t(kCue), 0)
        << "frames between the cue and B's first sample";
    for (std::size_t i = kCue; i < kSegueLength + 4410; ++i) {
        ASSERT_EQ(out()[i * 2 + 1], b[(i - kCue) * 2 + 1]) << "B from its first frame, at " << i;
    }
    for (std::size_t i = 0; i < kCue; ++i) {
        ASSERT_EQ(out()[i * 2], a[i * 2]) << "A at full level before the cue, at " << i;
    }
    for (std::size_t i = kCue; i < kCue + kFadeFrames; ++i) {
        const double level = 1.0 - double(i - kCue + 1) / kFadeFrames;
        ASSERT_NEAR(out()[i * 2], a[i * 2] * level, 1e-4) << "A's fade, at " << i;
    }
    EXPECT_EQ(peakFrom(out(), kCue + kFadeFrames, 0), 0.0) << "A silent after its fade";
}

TEST_F(SegueTest, StopBeforeTheCueCancelsIt) {
    ASSERT_EQ(first->armCue(Frames(kCue), next.get(), Frames(kFadeFrames)), Failure());
    render(kCue - 1000);
    first->stop();
    render(441);
    ASSERT_EQ(first->play(), Failure()) << "resumes where it stopped, before the cue frame";
    render(4410);
    expectNextNeverStarts();
    EXPECT_TRUE(firstEvents.empty());
}

TEST_F(SegueTest, FadeBeforeTheCueCancelsIt) {
    ASSERT_EQ(first->armCue(Frames(kCue), next.get(), Frames(kFadeFrames)), Failure());
    render(kCue - 1000);
    first->fadeOut(Frames(4410));
    render(4410 + 1000);
    expectNextNeverStarts();
    EXPECT_EQ(firstEvents, EventLog{Kind::FadedOut});
}

TEST_F(SegueTest, CancelledCueLetsTheChannelPlayToItsEnd) {
    ASSERT_EQ(first->armCue(Frames(kCue), next.get(), Frames(kFadeFrames)), Failure());
    render(kCue - 1000);
    first->cancelCue();
    render(kMixFrames + 1000 + 441);
    expectNextNeverStarts();
    EXPECT_EQ(firstEvents, EventLog{Kind::Ended});
    EXPECT_EQ(first->position(), first->length());
}

TEST_F(SegueTest, ANewCueReplacesTheArmedOne) {
    ASSERT_EQ(first->armCue(Frames(kCue), next.get(), Frames(kFadeFrames)), Failure());
    ASSERT_EQ(first->armCue(Frames(kCue + 1234), next.get(), Frames(0)), Failure());
    render(kSegueLength);
    EXPECT_EQ(firstNonZero(out(), 1), kCue + 1234);
    // Without a fade the channel stops on the cue: its play ends there.
    EXPECT_EQ(firstEvents, (EventLog{Kind::CueReached, Kind::FadedOut}));
    EXPECT_EQ(nextEvents, EventLog{Kind::CueStarted});
}

TEST_F(SegueTest, CueAlreadyPassedFiresAtOnce) {
    render(30000);
    ASSERT_EQ(first->armCue(Frames(10000), next.get(), Frames(0)), Failure());
    render(441);
    EXPECT_EQ(firstNonZero(out(), 1), 30000u) << "on the first frame after the call";
    EXPECT_EQ(firstEvents, (EventLog{Kind::CueReached, Kind::FadedOut}));
    EXPECT_EQ(nextEvents, EventLog{Kind::CueStarted});
    EXPECT_EQ(first->state(), ChannelState::Stopped) << "a cue without a fade stops at once";
    EXPECT_EQ(next->state(), ChannelState::Playing);
}

// ---- Long files ----

TEST(FrameCounts, ConvertExactlyFarPastThirtyTwoBits) {
    constexpr auto kWeek = std::chrono::hours(24 * 7);
    EXPECT_EQ(Frames::fromDuration(kWeek, 384000).count(), 7LL * 24 * 3600 * 384000);
    EXPECT_EQ(Frames(7LL * 24 * 3600 * 384000).toMs(384000), kWeek);
    EXPECT_EQ(Frames::fromDuration(std::chrono::milliseconds(1), kRate), Frames(44));
    EXPECT_EQ(Frames(44).toMs(kRate), std::chrono::milliseconds(0)) << "truncated";
    EXPECT_EQ(Frames(45).toMs(kRate), std::chrono::milliseconds(1));
    EXPECT_EQ(Frames::fromDuration(std::chrono::milliseconds(-1500), kRate), Frames(-66150));
    EXPECT_EQ(Frames(1).toMs(0), std::chrono::milliseconds(0)) << "no rate, no time";
}

// Seven hours of 16-bit stereo: past 2^32 bytes, where byte positions of 32 bits wrapped
// (about 6.8 h), and 2^31 (about 3.4 h). Only a short marked stretch near the end is audio.
class LongFileTest : public HandClockTest {
protected:
    static constexpr std::uint64_t kFrames = 7ull * 3600 * kRate;
    static constexpr std::uint64_t kMarked = kFrames - 60 * kRate; // 6 h 59 min
    static constexpr std::uint64_t kMarkedFrames = 20000;

    // Each marked frame names its own distance from kMarked.
    static double mark(std::uint64_t i, int) { return double(i - kMarked) / 32767.0; }
};

TEST_F(LongFileTest, SeeksAndPositionsHoldPastThirtyTwoBitsOfBytes) {
    const auto file = dir.path("seven-hours.wav");
    writeSparseWav(file, {kRate, 2, SampleFormat::S16, kFrames}, kMarked, kMarkedFrames, mark);
    ASSERT_GT(std::filesystem::file_size(file), 1ull << 32);
    const auto start = std::chrono::steady_clock::now();
    auto ch = open(file);
    const auto openMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(ch);
    RecordProperty("open_ms", int(openMs.count()));
    EXPECT_EQ(ch->length(), Frames(kFrames));

    const Frames halfWay = Frames::fromDuration(std::chrono::minutes(3 * 60 + 30), kRate);
    ASSERT_EQ(ch->seek(halfWay), Failure());
    EXPECT_EQ(ch->position(), halfWay);
    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, 4410);
    EXPECT_EQ(ch->position(), halfWay + Frames(4410));

    const Frames target(kMarked + 1234);
    ASSERT_EQ(ch->seek(target), Failure());
    EXPECT_EQ(ch->position(), target);
    clock.sink().setCapture(true);
    clock.renderFed(*ch, 4410);
    EXPECT_EQ(ch->position(), target + Frames(4410));
    ASSERT_GE(out().size(), 2u);
    EXPECT_NEAR(out()[0] * 32768.0, 1234.0, 0.01) << "the first frame is the one sought";
    EXPECT_NEAR(out()[4409 * 2] * 32768.0, 1234.0 + 4409, 0.01);

    ASSERT_EQ(ch->seek(Frames(kFrames - 441)), Failure());
    EventLog events;
    HandClockEngine::record(*ch, events);
    clock.renderFed(*ch, 441);
    EXPECT_EQ(events, EventLog{Kind::Ended});
    EXPECT_EQ(ch->position(), Frames(kFrames));
    EXPECT_EQ(ch->seek(Frames(kFrames + 1)), Failure(EngineError::BadPosition));
}

} // namespace

// Stopping a channel mid-waveform: the output fades to zero within the de-click time instead
// of cutting, while position and state behave as if the stop were instant.
#include "audio/engine/declick_tails.h"
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace audio::engine;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr double kHz = 440.0;
constexpr std::size_t kFade = kRate * 5 / 1000; // the mixer's de-click time
const std::size_t kBlock = blockFramesFor(kRate);
// The steepest sample-to-sample step of the full-scale tone itself, and what a linear fade
// over kFade frames may add to it.
const double kToneStep = 2.0 * std::sin(std::numbers::pi * kHz / kRate);
const double kFadeStep = 1.0 / (kFade + 1);

double largestStep(const std::vector<float>& stereo, std::size_t from) {
    double worst = 0.0;
    for (std::size_t i = from + 1; i * 2 < stereo.size(); ++i) {
        worst = std::max(worst, double(std::abs(stereo[i * 2] - stereo[(i - 1) * 2])));
    }
    return worst;
}

double peakFrom(const std::vector<float>& stereo, std::size_t from) {
    double p = 0.0;
    for (std::size_t i = from; i * 2 < stereo.size(); ++i) {
        p = std::max(p, double(std::abs(stereo[i * 2])));
    }
    return p;
}

class DeclickTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(engine().openDevice(HandClockEngine::kDevice), Failure());
        writeWav(dir.path("tone.wav"), {kRate, 1, SampleFormat::S16, kRate * 2},
                 sine(kHz, kRate, 1.0));
        load();
    }
    void load() {
        auto opened = engine().open(HandClockEngine::kDevice, dir.path("tone.wav").string());
        ASSERT_TRUE(opened) << opened.error();
        ch = opened.take();
    }
    SoundEngine& engine() { return *clock.engine; }
    std::int64_t frames() { return ch->position().count(); }
    // Plays to a frame where the tone is near its crest, the worst place to cut it.
    void playToCrest(std::size_t stop = kStop) {
        ASSERT_EQ(ch->play(), Failure());
        clock.sink().setCapture(true);
        clock.renderFed(*ch, stop);
        ASSERT_GT(std::abs(clock.sink().captured()[(stop - 1) * 2]), 0.99);
    }
    // The output after the stop: continues the waveform, falls to zero within the fade, no
    // step larger than the tone's own plus the fade's.
    void expectFadeOut(const std::string& what, std::size_t stop = kStop,
                       double toneStep = kToneStep) {
        clock.render(kBlock * 4);
        const std::vector<float>& out = clock.sink().captured();
        EXPECT_GT(std::abs(out[stop * 2]), 0.95) << what << ": the waveform goes on at first";
        EXPECT_EQ(peakFrom(out, stop + kFade), 0.0) << what << ": silent after the fade";
        EXPECT_LE(largestStep(out, 0), toneStep + kFadeStep + 1e-4) << what << ": no click";
    }

    static constexpr std::size_t kStop = 4436; // the tone's crest is the last frame before it
    TempDir dir;
    HandClockEngine clock{kRate};
    std::unique_ptr<Channel> ch;
};

TEST_F(DeclickTest, StopFadesOutButKeepsItsPositionAndState) {
    playToCrest();
    ch->stop();
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    expectFadeOut("stop");
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    EXPECT_EQ(frames(), std::int64_t(kStop)) << "the fade's frames are not counted as played";
    ASSERT_EQ(ch->seek(Frames(0)), Failure());
    EXPECT_EQ(frames(), 0);
    clock.sink().clearCaptured();
    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, 10);
    EXPECT_EQ(frames(), 10);
    EXPECT_NEAR(clock.sink().captured()[2], std::sin(2 * std::numbers::pi * kHz / kRate), 1e-3)
        << "played from the start, with no old tail under it";
}

TEST_F(DeclickTest, PlayRightAfterStopContinuesTheWaveformSeamlessly) {
    playToCrest();
    ch->stop();
    clock.render(kFade / 3); // part of the fade has sounded
    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, kFade * 2);
    const std::vector<float>& out = clock.sink().captured();
    // The resumed channel fades in against its own fade-out: together they are the tone,
    // with the frames during the gap played twice at most.
    for (std::size_t i = kStop + kFade / 3; i < kStop + kFade * 2; ++i) {
        const double resumedAt = double(i - kFade / 3);
        const double tone = std::sin(2 * std::numbers::pi * kHz * resumedAt / kRate);
        const double faded = std::sin(2 * std::numbers::pi * kHz * double(i) / kRate) *
                             double(kFade + kStop - i) / (kFade + 1);
        const double fadeIn = double(i - kStop - kFade / 3 + 1) / double(kFade - kFade / 3);
        const double expected = i < kStop + kFade ? faded + tone * std::min(1.0, fadeIn) : tone;
        ASSERT_NEAR(out[i * 2], expected, 0.01) << "frame " << i;
    }
    EXPECT_LE(largestStep(out, 0), kToneStep * 2 + kFadeStep * 2) << "no click at either end";
}

TEST_F(DeclickTest, DestroyingAndInstantFadeToSilenceFadeOutToo) {
    playToCrest();
    ch.reset();
    expectFadeOut("destroyed");

    load();
    clock.sink().clearCaptured();
    playToCrest();
    ch->fadeOut(Frames(0));
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    expectFadeOut("fade to silence in no time");
}

TEST_F(DeclickTest, StopAtAnotherRateFadesOutFromWhereTheChannelWas) {
    ch->setRate(float(kRate / 2));
    const std::size_t stop = 2 * 4435 + 1; // at half speed the crest comes twice as late
    playToCrest(stop);
    ch->stop();
    EXPECT_EQ(frames(), std::int64_t(stop / 2));
    expectFadeOut("half speed", stop, kToneStep / 2);
}

TEST(DeclickTails, MoreStopsThanTailsCutTheRestAndTailsAreReusedOnceSilent) {
    DeclickTails tails(2, 4);
    for (int i = 0; i < 2; ++i) {
        float* data = tails.reserve();
        ASSERT_NE(data, nullptr);
        std::fill(data, data + 8, 1.0f);
        tails.start(&tails, 4);
    }
    EXPECT_EQ(tails.reserve(), nullptr) << "every tail sounds";
    tails.start(nullptr, 4); // without a reservation: nothing starts
    EXPECT_EQ(tails.remainingFor(&tails), 4u);
    std::vector<float> out(6 * 2, 0.0f);
    tails.mixInto(out.data(), 3);
    EXPECT_FLOAT_EQ(out[0], 2 * 0.8f);
    EXPECT_FLOAT_EQ(out[4], 2 * 0.4f);
    tails.mixInto(out.data() + 6, 3);
    EXPECT_FLOAT_EQ(out[6], 2 * 0.2f);
    EXPECT_FLOAT_EQ(out[8], 0.0f);
    EXPECT_EQ(tails.remainingFor(&tails), 0u);
    EXPECT_NE(tails.reserve(), nullptr);
}

// A freed channel's tail plays out, but a new channel at the same address must not fade in
// against it.
TEST(DeclickTails, AForgottenOwnerKeepsItsTailSoundingButNoLongerClaimsIt) {
    DeclickTails tails(1, 4);
    int channel = 0;
    float* data = tails.reserve();
    ASSERT_NE(data, nullptr);
    std::fill(data, data + 8, 1.0f);
    tails.start(&channel, 4);
    tails.forget(&channel);
    EXPECT_EQ(tails.remainingFor(&channel), 0u);
    std::vector<float> out(2, 0.0f);
    tails.mixInto(out.data(), 1);
    EXPECT_FLOAT_EQ(out[0], 0.8f);
}

} // namespace

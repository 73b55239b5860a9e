// Stopping a channel mid-waveform: the output fades to zero within the de-click time instead
// of cutting, while position, state and handles behave as if the stop were instant.
#include "audio/engine/declick_tails.h"
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace audio;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr double kHz = 440.0;
constexpr std::size_t kFade = kRate * 5 / 1000; // the mixer's de-click time
const std::size_t kBlock = audio::engine::blockFramesFor(kRate);
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
        ASSERT_TRUE(api().init(1, kRate, 0, nullptr));
        writeWav(dir.path("tone.wav"), {kRate, 1, SampleFormat::S16, kRate * 2},
                 sine(kHz, kRate, 1.0));
        load();
    }
    void load() {
        h = api().createFileStream(dir.path("tone.wav").string(), 0);
        ASSERT_NE(h, 0u) << api().lastError();
    }
    SoundApi& api() { return *clock.engine; }
    std::uint64_t frames() { return api().position(h) / 2; }
    // Plays to a frame where the tone is near its crest, the worst place to cut it.
    void playToCrest(std::size_t stop = kStop) {
        ASSERT_TRUE(api().play(h, false));
        clock.sink().setCapture(true);
        clock.renderFed(h, stop);
        ASSERT_GT(std::abs(clock.sink().captured()[(stop - 1) * 2]), 0.99);
    }
    // The output after the stop: continues the waveform, falls to zero within the fade, no
    // step larger than the tone's own plus the fade's.
    void expectFadeOut(const std::string& what, std::size_t stop = kStop,
                       double toneStep = kToneStep) {
        clock.sink().render(kBlock * 4);
        const std::vector<float>& out = clock.sink().captured();
        EXPECT_GT(std::abs(out[stop * 2]), 0.95) << what << ": the waveform goes on at first";
        EXPECT_EQ(peakFrom(out, stop + kFade), 0.0) << what << ": silent after the fade";
        EXPECT_LE(largestStep(out, 0), toneStep + kFadeStep + 1e-4) << what << ": no click";
    }

    static constexpr std::size_t kStop = 4436; // the tone's crest is the last frame before it
    TempDir dir;
    HandClockEngine clock{kRate};
    StreamHandle h = 0;
};

TEST_F(DeclickTest, StopFadesOutButKeepsItsPositionAndState) {
    playToCrest();
    ASSERT_TRUE(api().stop(h));
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    expectFadeOut("stop");
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    EXPECT_EQ(frames(), kStop) << "the fade's frames are not counted as played";
    ASSERT_TRUE(api().setPosition(h, 0));
    EXPECT_EQ(frames(), 0u);
    clock.sink().clearCaptured();
    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, 10);
    EXPECT_EQ(frames(), 10u);
    EXPECT_NEAR(clock.sink().captured()[2], std::sin(2 * std::numbers::pi * kHz / kRate), 1e-3)
        << "played from the start, with no old tail under it";
}

TEST_F(DeclickTest, PlayRightAfterStopContinuesTheWaveformSeamlessly) {
    playToCrest();
    ASSERT_TRUE(api().stop(h));
    clock.sink().render(kFade / 3); // part of the fade has sounded
    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, kFade * 2);
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

TEST_F(DeclickTest, FreeingAndInstantFadeToSilenceFadeOutToo) {
    playToCrest();
    ASSERT_TRUE(api().freeStream(h));
    EXPECT_FALSE(api().play(h, false));
    EXPECT_EQ(api().lastError(), kErrHandle) << "the handle is gone at once";
    expectFadeOut("free");

    load();
    clock.sink().clearCaptured();
    playToCrest();
    ASSERT_TRUE(api().slideAttributes(h, kKeepRate, kSlideToSilence, kKeepPan, 0));
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    expectFadeOut("slide to silence in 0 ms");
}

TEST_F(DeclickTest, StopAtAnotherRateFadesOutFromWhereTheChannelWas) {
    ASSERT_TRUE(api().setAttributes(h, kRate / 2, kKeepVolume, kKeepPan));
    const std::size_t stop = 2 * 4435 + 1; // at half speed the crest comes twice as late
    playToCrest(stop);
    ASSERT_TRUE(api().stop(h));
    EXPECT_EQ(frames(), stop / 2);
    expectFadeOut("half speed", stop, kToneStep / 2);
}

TEST(DeclickTails, MoreStopsThanTailsCutTheRestAndTailsAreReusedOnceSilent) {
    audio::engine::DeclickTails tails(2, 4);
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
    audio::engine::DeclickTails tails(1, 4);
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

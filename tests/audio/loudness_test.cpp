// Loudness of known signals through the engine's decoder, and the gain that follows from it.
#include "audio/loudness.h"
#include "audio/loudness_meter.h"
#include "audio/true_peak.h"
#include "engine/test_media.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace audio;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 48000;
const std::atomic<bool> kGoOn{false};

double dbfs(double db) {
    return std::pow(10.0, db / 20.0);
}

class LoudnessMeterTest : public ::testing::Test {
protected:
    std::optional<Loudness> measure(const std::string& name, const WavSpec& spec,
                                    const SampleFn& fn) {
        writeWav(dir.path(name), spec, fn);
        return measureLoudness(dir.path(name).string(), kGoOn);
    }
    TempDir dir;
};

} // namespace

// The reference of the standard: a 1 kHz stereo sine at -23 dBFS reads -23.0 LUFS. A mono file
// plays on both sides, so it reads the same.
TEST_F(LoudnessMeterTest, SineAtMinus23DbfsReadsMinus23Lufs) {
    for (std::uint16_t channels : {2, 1}) {
        const auto loudness =
            measure("sine" + std::to_string(channels) + ".wav",
                    {kRate, channels, SampleFormat::F32, kRate * 10}, sine(1000, kRate, dbfs(-23)));
        ASSERT_TRUE(loudness) << channels;
        EXPECT_NEAR(loudness->integratedLufs, -23.0, 0.1) << channels << " channels";
        EXPECT_NEAR(loudness->truePeakDbtp, -23.0, 0.1);
    }
}

// Samples of a quarter-rate sine at 45 degrees miss its crests by 3 dB: the true peak does not.
TEST_F(LoudnessMeterTest, TruePeakFindsTheCrestBetweenSamples) {
    const auto crestBetween = [](std::uint64_t i, int) {
        return 0.5 * std::sin(std::numbers::pi / 2 * double(i) + std::numbers::pi / 4);
    };
    const auto loudness =
        measure("quarter.wav", {44100, 2, SampleFormat::F32, 44100 * 2}, crestBetween);
    ASSERT_TRUE(loudness);
    EXPECT_NEAR(loudness->truePeakDbtp, -6.02, 0.3);
}

// Against libebur128's own (slower) true peak, on noise with crests everywhere, and a single
// full-scale sample as the very last one.
TEST(TruePeak, AgreesWithLibebur128AndCountsTheLastSample) {
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.2f);
    std::vector<float> stereo(48000 * 2 * 5);
    for (float& v : stereo) {
        v = std::clamp(noise(random), -1.0f, 1.0f);
    }
    ebur128_state* reference = ebur128_init(2, 48000, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(reference, stereo.data(), stereo.size() / 2);
    double expected = 0.0;
    for (unsigned ch = 0; ch < 2; ++ch) {
        double value = 0.0;
        ebur128_true_peak(reference, ch, &value);
        expected = std::max(expected, value);
    }
    ebur128_destroy(&reference);
    TruePeakMeter meter;
    for (std::size_t at = 0; at < stereo.size(); at += 2 * 4096) {
        meter.add(stereo.data() + at, std::min<std::size_t>(4096, (stereo.size() - at) / 2));
    }
    meter.finish();
    EXPECT_NEAR(20 * std::log10(meter.peak()), 20 * std::log10(expected), 0.3);

    TruePeakMeter click;
    const float last[] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};
    click.add(last, 3);
    click.finish();
    EXPECT_FLOAT_EQ(click.peak(), 1.0f);
}

TEST_F(LoudnessMeterTest, SilenceShortAndBrokenFilesHaveNoLoudness) {
    const auto silence = [](std::uint64_t, int) { return 0.0; };
    const auto silent = measure("silence.wav", {kRate, 2, SampleFormat::S16, kRate * 3}, silence);
    ASSERT_TRUE(silent);
    EXPECT_FALSE(silent->hasLoudness());
    EXPECT_FALSE(std::isfinite(silent->truePeakDbtp));

    // Shorter than one 400 ms gating block: no integrated loudness, but a peak.
    const auto shortTone =
        measure("short.wav", {kRate, 2, SampleFormat::S16, kRate / 10}, sine(1000, kRate, 0.5));
    ASSERT_TRUE(shortTone);
    EXPECT_FALSE(shortTone->hasLoudness());
    EXPECT_NEAR(shortTone->truePeakDbtp, -6.0, 0.2);

    const auto single = measure("one.wav", {kRate, 2, SampleFormat::S16, 1}, sine(1000, kRate));
    EXPECT_TRUE(single && !single->hasLoudness());

    writeBytes(dir.path("broken.mp3"), std::string(4096, '\x5a'));
    EXPECT_FALSE(measureLoudness(dir.path("broken.mp3").string(), kGoOn));
    EXPECT_FALSE(measureLoudness(dir.path("missing.wav").string(), kGoOn));
}

TEST_F(LoudnessMeterTest, CancelStopsTheMeasurement) {
    writeWav(dir.path("long.wav"), {kRate, 2, SampleFormat::S16, kRate * 60}, sine(440, kRate));
    const std::atomic<bool> cancel{true};
    EXPECT_FALSE(measureLoudness(dir.path("long.wav").string(), cancel));
}

TEST(NormalisationGain, TargetMinusMeasuredLimitedByTheTruePeak) {
    EXPECT_DOUBLE_EQ(normalisationGainDb({-14.0, -0.5}, -23), -9.0);
    EXPECT_DOUBLE_EQ(normalisationGainDb({-33.0, -12.0}, -23), 10.0);
    EXPECT_DOUBLE_EQ(normalisationGainDb({-33.0, -6.0}, -23), 5.0) << "peak would pass -1 dBTP";
    EXPECT_DOUBLE_EQ(normalisationGainDb({-24.0, 0.5}, -23), -1.5) << "quiet but peaky: lowered";
    EXPECT_DOUBLE_EQ(normalisationGainDb({-60.0, -50.0}, -23), 24.0) << "at most +24 dB";
    EXPECT_DOUBLE_EQ(normalisationGainDb({}, -23), 0.0) << "no loudness plays at unity";
    EXPECT_FLOAT_EQ(linearGain(0.0), 1.0f);
    EXPECT_NEAR(linearGain(-6.0206), 0.5f, 1e-4);
}

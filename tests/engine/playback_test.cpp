// The engine on a hand-clocked sink: every check is against rendered frame counts.
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace audio;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100;
const std::size_t kBlock = audio::engine::blockFramesFor(kRate); // one mixer block

double peak(const std::vector<float>& stereo, std::size_t fromFrame, std::size_t toFrame, int ch) {
    double p = 0.0;
    for (std::size_t i = fromFrame; i < toFrame && i * 2 + 1 < stereo.size(); ++i) {
        p = std::max(p, std::abs(double(stereo[i * 2 + static_cast<std::size_t>(ch)])));
    }
    return p;
}

double largestStep(const std::vector<float>& stereo, int ch) {
    double worst = 0.0;
    for (std::size_t i = 1; i * 2 + 1 < stereo.size(); ++i) {
        worst = std::max(worst, std::abs(double(stereo[i * 2 + ch]) - stereo[(i - 1) * 2 + ch]));
    }
    return worst;
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(api().init(1, kRate, 0, nullptr));
        api().setConfig(kOptionBufferMs, 1000);
    }
    SoundApi& api() { return *clock.engine; }
    StreamHandle load(const std::string& name, const WavSpec& spec, const SampleFn& fn) {
        writeWav(dir.path(name), spec, fn);
        const StreamHandle h = api().createFileStream(dir.path(name).string(), 0);
        EXPECT_NE(h, 0u) << api().lastError();
        return h;
    }
    std::uint64_t frames(StreamHandle h) { return api().position(h) / 2; } // mono, 16-bit

    TempDir dir;
    HandClockEngine clock{kRate};
};

TEST_F(PlaybackTest, PositionFollowsRenderedFramesAndStopKeepsIt) {
    const StreamHandle h = load("tone.wav", {kRate, 1, SampleFormat::S16, kRate}, sine(440, kRate));
    EXPECT_EQ(api().length(h), kRate * 2u);
    ASSERT_TRUE(api().play(h, false));
    EXPECT_EQ(api().isActive(h), kChannelPlaying);
    clock.sink().setCapture(true);
    clock.renderFed(h, 4410);
    EXPECT_EQ(frames(h), 4410u);
    EXPECT_NEAR(peak(clock.sink().captured(), 0, 4410, 0), 0.8, 0.01);
    EXPECT_NEAR(peak(clock.sink().captured(), 0, 4410, 1), 0.8, 0.01);

    ASSERT_TRUE(api().stop(h));
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    clock.sink().clearCaptured();
    clock.sink().render(2000);
    EXPECT_EQ(peak(clock.sink().captured(), kRate * 5 / 1000, 2000, 0), 0.0)
        << "silent once the stop's 5 ms fade is over";
    EXPECT_EQ(frames(h), 4410u);

    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, 441);
    EXPECT_EQ(frames(h), 4851u) << "play resumes where stop left off";
    ASSERT_TRUE(api().play(h, false)) << "play while playing changes nothing";
    EXPECT_EQ(frames(h), 4851u);
}

TEST_F(PlaybackTest, EndOfFileStopsAtTheLastSample) {
    const StreamHandle h =
        load("short.wav", {kRate, 1, SampleFormat::S16, 10001}, sine(440, kRate));
    ASSERT_TRUE(api().play(h, false));
    clock.sink().setCapture(true);
    clock.renderFed(h, 10000);
    EXPECT_EQ(api().isActive(h), kChannelPlaying);
    EXPECT_EQ(frames(h), 10000u);
    clock.renderFed(h, 1);
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    EXPECT_EQ(frames(h), 10001u);
    clock.sink().render(kBlock);
    EXPECT_EQ(peak(clock.sink().captured(), 10001, 10001 + kBlock, 0), 0.0);

    ASSERT_TRUE(api().play(h, false)) << "an ended channel starts again from the beginning";
    clock.renderFed(h, 100);
    EXPECT_EQ(frames(h), 100u);
}

TEST_F(PlaybackTest, FadeToSilenceIsSmoothAndStopsWithinOneBlockOfItsTime) {
    const StreamHandle h =
        load("tone.wav", {kRate, 1, SampleFormat::S16, kRate * 2}, sine(440, kRate));
    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, 4410);
    clock.sink().setCapture(true);
    ASSERT_TRUE(api().slideAttributes(h, kKeepRate, kSlideToSilence, kKeepPan, 100));
    EXPECT_EQ(api().isSliding(h), kSlidingVolume);
    clock.renderFed(h, 2205);
    std::uint32_t volume = 0;
    ASSERT_TRUE(api().getAttributes(h, nullptr, &volume, nullptr));
    EXPECT_NEAR(volume, 50u, 1u) << "half way through the fade";
    EXPECT_EQ(api().isSliding(h), kSlidingVolume);
    clock.renderFed(h, 2205 - kBlock + 1);
    EXPECT_EQ(api().isActive(h), kChannelPlaying);
    clock.renderFed(h, kBlock);
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    EXPECT_EQ(api().isSliding(h), 0u);
    const std::vector<float>& out = clock.sink().captured();
    // The fade never jumps: no step is larger than the tone's own steepest slope.
    EXPECT_LT(largestStep(out, 0), 0.8 * 2 * M_PI * 440 / kRate + 1e-3);
    EXPECT_GT(peak(out, 0, 441, 0), 0.7);
    EXPECT_LT(peak(out, 4410 - 441, 4410, 0), 0.09);
    EXPECT_EQ(peak(out, 4410, out.size() / 2, 0), 0.0);
}

TEST_F(PlaybackTest, VolumePanAndRateTakeEffectWithoutClicks) {
    const StreamHandle h =
        load("tone.wav", {kRate, 1, SampleFormat::S16, kRate * 2}, sine(440, kRate));
    ASSERT_TRUE(api().play(h, false));
    clock.sink().setCapture(true);
    clock.renderFed(h, 2205);
    ASSERT_TRUE(api().setAttributes(h, 0, 50, -100));
    std::uint32_t rate = 0, volume = 0;
    std::int32_t pan = 0;
    ASSERT_TRUE(api().getAttributes(h, &rate, &volume, &pan));
    EXPECT_EQ(rate, kRate);
    EXPECT_EQ(volume, 50u);
    EXPECT_EQ(pan, -100);
    clock.renderFed(h, 4410);
    const std::vector<float>& out = clock.sink().captured();
    EXPECT_NEAR(peak(out, 2205 + 441, 6615, 0), 0.4, 0.01);
    EXPECT_EQ(peak(out, 2205 + 441, 6615, 1), 0.0) << "pan hard left silences the right side";
    EXPECT_LT(largestStep(out, 1), 0.8 * 2 * M_PI * 440 / kRate + 1e-3) << "no click on the change";

    const std::uint64_t before = frames(h);
    ASSERT_TRUE(api().setAttributes(h, kRate * 2, kKeepVolume, kKeepPan));
    clock.renderFed(h, 4410, 176, 2);
    EXPECT_NEAR(double(frames(h) - before), 8820.0, 2.0) << "double rate plays twice as fast";
}

TEST_F(PlaybackTest, BackAtTheFilesRateThePlaybackIsExactAgain) {
    // Each frame carries its own index: exact playback gives whole steps, interpolation halves.
    const auto ramp = [](std::uint64_t i, int) { return double(i % 20000) / 32767.0; };
    const StreamHandle h = load("ramp.wav", {kRate, 1, SampleFormat::S16, kRate}, ramp);
    ASSERT_TRUE(api().play(h, false));
    ASSERT_TRUE(api().setAttributes(h, kRate / 2, kKeepVolume, kKeepPan));
    clock.renderFed(h, 441); // half speed over an odd count: half a frame into the file
    ASSERT_TRUE(api().setAttributes(h, 0, kKeepVolume, kKeepPan));
    clock.sink().setCapture(true);
    clock.renderFed(h, 882);
    const std::vector<float>& out = clock.sink().captured();
    ASSERT_EQ(out.size(), 882u * 2);
    for (std::size_t i = 0; i < out.size(); i += 2) {
        const double step = double(out[i]) * 32768.0;
        ASSERT_NEAR(step, std::round(step), 1e-3) << "interpolated at frame " << i / 2;
        if (i > 0) {
            ASSERT_NEAR(step - double(out[i - 2]) * 32768.0, 1.0, 1e-3) << "frame " << i / 2;
        }
    }
}

TEST_F(PlaybackTest, VolumeSetBeforePlayHoldsFromTheFirstSample) {
    const StreamHandle h = load("dc.wav", {kRate, 1, SampleFormat::S16, kRate},
                                [](std::uint64_t, int) { return 0.8; });
    ASSERT_TRUE(api().setAttributes(h, kKeepRate, 25, kKeepPan));
    ASSERT_TRUE(api().play(h, false));
    clock.sink().setCapture(true);
    clock.renderFed(h, kBlock);
    EXPECT_NEAR(clock.sink().captured()[0], 0.2, 1e-3);
}

// The stream gain multiplies under volume and fades: set before play it holds from the first
// sample, the volume reads back without it, a fade still halves the gained level, and a change
// while playing ramps instead of jumping.
TEST_F(PlaybackTest, StreamGainSitsUnderVolumeAndFades) {
    const StreamHandle h = load("dc.wav", {kRate, 1, SampleFormat::S16, kRate * 2},
                                [](std::uint64_t, int) { return 0.4; });
    ASSERT_TRUE(api().setStreamGain(h, 2.0f));
    ASSERT_TRUE(api().setAttributes(h, kKeepRate, 50, kKeepPan));
    ASSERT_TRUE(api().play(h, false));
    clock.sink().setCapture(true);
    clock.renderFed(h, kBlock);
    EXPECT_NEAR(clock.sink().captured()[0], 0.4, 1e-3);
    std::uint32_t volume = 0;
    ASSERT_TRUE(api().getAttributes(h, nullptr, &volume, nullptr));
    EXPECT_EQ(volume, 50u);

    ASSERT_TRUE(api().slideAttributes(h, kKeepRate, 25, kKeepPan, 100));
    clock.renderFed(h, 4410 + kBlock);
    EXPECT_NEAR(clock.sink().captured().back(), 0.2, 1e-3);

    clock.sink().clearCaptured();
    ASSERT_TRUE(api().setStreamGain(h, 0.5f));
    clock.renderFed(h, 441);
    const std::vector<float>& out = clock.sink().captured();
    EXPECT_NEAR(out.back(), 0.05, 1e-3);
    EXPECT_LT(largestStep(out, 0), 0.01) << "ramped, not a jump of 0.15";

    EXPECT_FALSE(api().setStreamGain(h, -1.0f));
    EXPECT_EQ(api().lastError(), kErrIllegalParam);
    EXPECT_FALSE(api().setStreamGain(0, 1.0f));
    EXPECT_EQ(api().lastError(), kErrHandle);
}

TEST_F(PlaybackTest, LoopPlaysOnPastTheEnd) {
    const StreamHandle h = load("loop.wav", {kRate, 1, SampleFormat::S16, 5000}, sine(440, kRate));
    ASSERT_TRUE(api().setFlags(h, kChannelLoop));
    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, 12000);
    EXPECT_EQ(api().isActive(h), kChannelPlaying);
    EXPECT_EQ(frames(h), 2000u);
    ASSERT_TRUE(api().setFlags(h, 0));
    clock.renderFed(h, 3000);
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    EXPECT_EQ(frames(h), 5000u);
}

TEST_F(PlaybackTest, SeekIsImmediateAndSampleExact) {
    const auto ramp = [](std::uint64_t i, int) { return double(i % 20000) / 32767.0; };
    const StreamHandle h = load("ramp.wav", {kRate, 1, SampleFormat::S16, 100000}, ramp);
    ASSERT_TRUE(api().setPosition(h, 2 * 30001));
    EXPECT_EQ(frames(h), 30001u);
    ASSERT_TRUE(api().play(h, false));
    clock.sink().setCapture(true);
    clock.renderFed(h, 10);
    EXPECT_NEAR(clock.sink().captured()[0] * 32768.0, 10001.0, 0.01);
    EXPECT_EQ(frames(h), 30011u);
    // While playing, from a full buffer.
    clock.renderFed(h, 44100);
    clock.sink().clearCaptured();
    ASSERT_TRUE(api().setPosition(h, 2 * 5));
    EXPECT_EQ(frames(h), 5u);
    clock.renderFed(h, 3);
    EXPECT_NEAR(clock.sink().captured()[0] * 32768.0, 5.0, 0.01);
    EXPECT_EQ(frames(h), 8u);
    EXPECT_FALSE(api().setPosition(h, 2 * 100001));
    EXPECT_EQ(api().lastError(), kErrPosition);
}

TEST_F(PlaybackTest, RingRunningDryIsStalledUntilDataFlowsAgain) {
    api().setConfig(kOptionBufferMs, 100);
    const StreamHandle h =
        load("long.wav", {kRate, 1, SampleFormat::S16, kRate * 3}, sine(440, kRate));
    ASSERT_TRUE(api().play(h, false));
    clock.sink().render(kRate); // a second at once: far more than the 100 ms buffer
    EXPECT_EQ(api().isActive(h), kChannelStalled);
    ASSERT_TRUE(clock.engine->waitBuffered(h, kBlock, std::chrono::seconds(5)));
    clock.sink().render(kBlock);
    EXPECT_EQ(api().isActive(h), kChannelPlaying);
}

TEST_F(PlaybackTest, SpectrumShowsWhatWasPlayedLast) {
    const StreamHandle h =
        load("khz.wav", {kRate, 1, SampleFormat::S16, kRate}, sine(1000, kRate, 1.0));
    std::vector<float> bins(256, -1.0f);
    EXPECT_EQ(api().getData(h, bins.data(), kDataFft512), -1) << "not playing";
    ASSERT_TRUE(api().play(h, false));
    clock.renderFed(h, 1024);
    ASSERT_EQ(api().getData(h, bins.data(), kDataFft512), 1024);
    const auto top = std::max_element(bins.begin(), bins.end()) - bins.begin();
    EXPECT_NEAR(double(top), 1000.0 * 512 / kRate, 1.0);
    EXPECT_NEAR(bins[static_cast<std::size_t>(top)], 1.0, 0.4);
    EXPECT_LT(bins[100], 0.01);
}

TEST_F(PlaybackTest, HandlesErrorsAndDevices) {
    EXPECT_EQ(api().version() >> 16, kSoundApiVersionHigh);
    EXPECT_FALSE(api().init(1, kRate, 0, nullptr));
    EXPECT_EQ(api().lastError(), kErrAlready);
    EXPECT_FALSE(api().init(2, kRate, 0, nullptr));
    EXPECT_EQ(api().lastError(), kErrDevice);
    EXPECT_EQ(api().deviceDescription(0), "No sound");
    EXPECT_EQ(api().deviceDescription(1), "Hand clock");
    EXPECT_FALSE(api().deviceDescription(2).has_value());
    EXPECT_FALSE(api().setConfig(42, 1));

    // A device that is not initialised (or failed to) is never swapped for the one chosen
    // before: streams fail until a usable device is chosen.
    writeWav(dir.path("a.wav"), {kRate, 2, SampleFormat::S16, 1000}, sine(440, kRate));
    for (const int notInitialised : {0, 2, 11}) {
        EXPECT_FALSE(api().setDevice(notInitialised));
        EXPECT_EQ(api().lastError(), notInitialised == 11 ? kErrDevice : kErrInit);
        EXPECT_FALSE(api().deviceUsable(notInitialised));
        EXPECT_EQ(api().createFileStream(dir.path("a.wav").string(), 0), 0u);
        EXPECT_EQ(api().lastError(), kErrInit) << "device " << notInitialised;
    }
    EXPECT_TRUE(api().deviceUsable(1));
    ASSERT_TRUE(api().setDevice(1));

    const StreamHandle h = load("a.wav", {kRate, 2, SampleFormat::S16, 1000}, sine(440, kRate));
    ChannelInfo info;
    ASSERT_TRUE(api().channelInfo(h, info));
    EXPECT_EQ(info.freq, kRate);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.flags, 0u);
    EXPECT_DOUBLE_EQ(api().bytesToSeconds(h, 4 * kRate), 1.0);
    EXPECT_EQ(api().secondsToBytes(h, 0.5), 2u * kRate);
    ASSERT_TRUE(api().play(h, false));
    ASSERT_TRUE(api().freeStream(h));
    clock.sink().render(kBlock);
    EXPECT_FALSE(api().play(h, false));
    EXPECT_EQ(api().lastError(), kErrHandle);
    EXPECT_EQ(api().position(h), ~0ull);
    const StreamHandle again = load("b.wav", {kRate, 1, SampleFormat::S16, 1000}, sine(440, kRate));
    EXPECT_NE(again, h) << "a reused slot gets a new handle";
    EXPECT_EQ(api().isActive(h), kChannelStopped);
    EXPECT_EQ(api().lastError(), kErrHandle);
}

TEST(NoSoundDevice, ConsumesInRealTime) {
    TempDir dir;
    auto engine = audio::engine::makeSoundEngine();
    EXPECT_EQ(engine->createFileStream("x.wav", 0), 0u);
    EXPECT_EQ(engine->lastError(), kErrInit);
    ASSERT_TRUE(engine->init(0, 48000, 0, nullptr));
    writeWav(dir.path("third.wav"), {48000, 1, SampleFormat::S16, 16000}, sine(440, 48000));
    const StreamHandle h = engine->createFileStream(dir.path("third.wav").string(), 0);
    ASSERT_NE(h, 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(engine->play(h, false));
    while (engine->isActive(h) != kChannelStopped &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(engine->isActive(h), kChannelStopped);
    EXPECT_EQ(engine->position(h), engine->length(h));
    EXPECT_GT(elapsed, 0.30) << "a third of a second of audio takes a third of a second";
    EXPECT_LT(elapsed, 0.60);
}

} // namespace

namespace {

TEST(NoSoundServer, OnlyTheNoSoundDeviceExists) {
    const char* before = std::getenv("PULSE_SERVER");
    const std::string saved = before ? before : "";
    setenv("PULSE_SERVER", "unix:/nonexistent/bandora/native", 1);
    auto engine = audio::engine::makeSoundEngine();
    EXPECT_EQ(engine->deviceDescription(0), "No sound");
    EXPECT_FALSE(engine->deviceDescription(1).has_value());
    EXPECT_FALSE(engine->init(1, kRate, 0, nullptr));
    EXPECT_EQ(engine->lastError(), kErrDevice);
    EXPECT_TRUE(engine->init(0, kRate, 0, nullptr));
    if (before) {
        setenv("PULSE_SERVER", saved.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
}

} // namespace

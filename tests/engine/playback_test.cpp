// The engine on a hand-clocked sink: every check is against rendered frame counts.
#include "hand_clock.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

using namespace audio::engine;
using namespace enginetest;
using Kind = ChannelEvent::Kind;

namespace {

constexpr std::uint32_t kRate = 44100;
const std::size_t kBlock = blockFramesFor(kRate); // one mixer block

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
        ASSERT_EQ(engine().openDevice(HandClockEngine::kDevice), Failure());
        engine().setBufferLength(std::chrono::milliseconds(1000));
    }
    SoundEngine& engine() { return *clock.engine; }
    std::unique_ptr<Channel> load(const std::string& name, const WavSpec& spec,
                                  const SampleFn& fn) {
        writeWav(dir.path(name), spec, fn);
        auto opened = engine().open(HandClockEngine::kDevice, dir.path(name).string());
        if (!opened) {
            ADD_FAILURE() << name << ": " << opened.error();
            return nullptr;
        }
        return opened.take();
    }
    static std::int64_t frames(const Channel& channel) { return channel.position().count(); }

    TempDir dir;
    HandClockEngine clock{kRate};
};

TEST_F(PlaybackTest, PositionFollowsRenderedFramesAndStopKeepsIt) {
    auto ch = load("tone.wav", {kRate, 1, SampleFormat::S16, kRate}, sine(440, kRate));
    ASSERT_TRUE(ch);
    EXPECT_EQ(ch->length(), Frames(kRate));
    ASSERT_EQ(ch->play(), Failure());
    EXPECT_EQ(ch->state(), ChannelState::Playing);
    clock.sink().setCapture(true);
    clock.renderFed(*ch, 4410);
    EXPECT_EQ(frames(*ch), 4410);
    EXPECT_NEAR(peak(clock.sink().captured(), 0, 4410, 0), 0.8, 0.01);
    EXPECT_NEAR(peak(clock.sink().captured(), 0, 4410, 1), 0.8, 0.01);

    ch->stop();
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    clock.sink().clearCaptured();
    clock.render(2000);
    EXPECT_EQ(peak(clock.sink().captured(), kRate * 5 / 1000, 2000, 0), 0.0)
        << "silent once the stop's 5 ms fade is over";
    EXPECT_EQ(frames(*ch), 4410);

    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, 441);
    EXPECT_EQ(frames(*ch), 4851) << "play resumes where stop left off";
    ASSERT_EQ(ch->play(), Failure()) << "play while playing changes nothing";
    EXPECT_EQ(frames(*ch), 4851);
}

TEST_F(PlaybackTest, EndOfFileStopsAtTheLastSampleAndReportsIt) {
    auto ch = load("short.wav", {kRate, 1, SampleFormat::S16, 10001}, sine(440, kRate));
    ASSERT_TRUE(ch);
    EventLog events;
    HandClockEngine::record(*ch, events);
    ASSERT_EQ(ch->play(), Failure());
    clock.sink().setCapture(true);
    clock.renderFed(*ch, 10000);
    EXPECT_EQ(ch->state(), ChannelState::Playing);
    EXPECT_EQ(frames(*ch), 10000);
    EXPECT_TRUE(events.empty());
    clock.renderFed(*ch, 1);
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    EXPECT_EQ(frames(*ch), 10001);
    EXPECT_EQ(events, EventLog{Kind::Ended}) << "reported with the block of its last frame";
    clock.render(kBlock);
    EXPECT_EQ(peak(clock.sink().captured(), 10001, 10001 + kBlock, 0), 0.0);

    ASSERT_EQ(ch->play(), Failure()) << "an ended channel starts again from the beginning";
    clock.renderFed(*ch, 100);
    EXPECT_EQ(frames(*ch), 100);
}

TEST_F(PlaybackTest, FadeToSilenceIsSmoothAndStopsOnItsFrame) {
    auto ch = load("tone.wav", {kRate, 1, SampleFormat::S16, kRate * 2}, sine(440, kRate));
    ASSERT_TRUE(ch);
    EventLog events;
    HandClockEngine::record(*ch, events);
    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, 4410);
    clock.sink().setCapture(true);
    ch->fadeOut(Frames(4410));
    EXPECT_TRUE(ch->isFading());
    clock.renderFed(*ch, 2205);
    EXPECT_NEAR(ch->volume(), 0.5f, 0.01f) << "half way through the fade";
    EXPECT_TRUE(ch->isFading());
    clock.renderFed(*ch, 2204);
    EXPECT_EQ(ch->state(), ChannelState::Playing);
    EXPECT_TRUE(events.empty());
    clock.renderFed(*ch, 1);
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
    EXPECT_FALSE(ch->isFading());
    EXPECT_EQ(events, EventLog{Kind::FadedOut});
    clock.render(kBlock);
    const std::vector<float>& out = clock.sink().captured();
    // The fade never jumps: no step is larger than the tone's own steepest slope.
    EXPECT_LT(largestStep(out, 0), 0.8 * 2 * M_PI * 440 / kRate + 1e-3);
    EXPECT_GT(peak(out, 0, 441, 0), 0.7);
    EXPECT_LT(peak(out, 4410 - 441, 4410, 0), 0.09);
    EXPECT_EQ(peak(out, 4410, out.size() / 2, 0), 0.0);
}

TEST_F(PlaybackTest, VolumePanAndRateTakeEffectWithoutClicks) {
    auto ch = load("tone.wav", {kRate, 1, SampleFormat::S16, kRate * 2}, sine(440, kRate));
    ASSERT_TRUE(ch);
    ASSERT_EQ(ch->play(), Failure());
    clock.sink().setCapture(true);
    clock.renderFed(*ch, 2205);
    ch->setRate(0);
    ch->setVolume(0.5f);
    ch->setPan(-1.0f);
    EXPECT_EQ(ch->rate(), float(kRate));
    EXPECT_EQ(ch->volume(), 0.5f);
    EXPECT_EQ(ch->pan(), -1.0f);
    clock.renderFed(*ch, 4410);
    const std::vector<float>& out = clock.sink().captured();
    EXPECT_NEAR(peak(out, 2205 + 441, 6615, 0), 0.4, 0.01);
    EXPECT_EQ(peak(out, 2205 + 441, 6615, 1), 0.0) << "pan hard left silences the right side";
    EXPECT_LT(largestStep(out, 1), 0.8 * 2 * M_PI * 440 / kRate + 1e-3) << "no click on the change";

    const std::int64_t before = frames(*ch);
    ch->setRate(float(kRate * 2));
    clock.renderFed(*ch, 4410, 176, 2);
    EXPECT_NEAR(double(frames(*ch) - before), 8820.0, 2.0) << "double rate plays twice as fast";
}

TEST_F(PlaybackTest, OutOfRangeAttributesAreClamped) {
    auto ch = load("tone.wav", {kRate, 1, SampleFormat::S16, kRate}, sine(440, kRate));
    ASSERT_TRUE(ch);
    ch->setVolume(3.0f);
    ch->setPan(-7.0f);
    ch->setRate(1.0f);
    EXPECT_EQ(ch->volume(), 1.0f);
    EXPECT_EQ(ch->pan(), -1.0f);
    EXPECT_EQ(ch->rate(), 100.0f);
    ch->setRate(-5.0f);
    EXPECT_EQ(ch->rate(), float(kRate)) << "no rate is the file's own";
}

TEST_F(PlaybackTest, BackAtTheFilesRateThePlaybackIsExactAgain) {
    // Each frame carries its own index: exact playback gives whole steps, interpolation halves.
    const auto ramp = [](std::uint64_t i, int) { return double(i % 20000) / 32767.0; };
    auto ch = load("ramp.wav", {kRate, 1, SampleFormat::S16, kRate}, ramp);
    ASSERT_TRUE(ch);
    ASSERT_EQ(ch->play(), Failure());
    ch->setRate(float(kRate / 2));
    clock.renderFed(*ch, 441); // half speed over an odd count: half a frame into the file
    ch->setRate(0);
    clock.sink().setCapture(true);
    clock.renderFed(*ch, 882);
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
    auto ch = load("dc.wav", {kRate, 1, SampleFormat::S16, kRate},
                   [](std::uint64_t, int) { return 0.8; });
    ASSERT_TRUE(ch);
    ch->setVolume(0.25f);
    ASSERT_EQ(ch->play(), Failure());
    clock.sink().setCapture(true);
    clock.renderFed(*ch, kBlock);
    EXPECT_NEAR(clock.sink().captured()[0], 0.2, 1e-3);
}

// The gain multiplies under volume and fades: set before play it holds from the first sample,
// the volume reads back without it, a fade still halves the gained level, and a change while
// playing ramps instead of jumping.
TEST_F(PlaybackTest, GainSitsUnderVolumeAndFades) {
    auto ch = load("dc.wav", {kRate, 1, SampleFormat::S16, kRate * 2},
                   [](std::uint64_t, int) { return 0.4; });
    ASSERT_TRUE(ch);
    ASSERT_EQ(ch->setGain(2.0f), Failure());
    ch->setVolume(0.5f);
    ASSERT_EQ(ch->play(), Failure());
    clock.sink().setCapture(true);
    clock.renderFed(*ch, kBlock);
    EXPECT_NEAR(clock.sink().captured()[0], 0.4, 1e-3);
    EXPECT_EQ(ch->volume(), 0.5f);

    clock.sink().clearCaptured();
    ch->setGain(0.5f);
    clock.renderFed(*ch, 441);
    const std::vector<float>& out = clock.sink().captured();
    EXPECT_NEAR(out.back(), 0.1, 1e-3);
    EXPECT_LT(largestStep(out, 0), 0.01) << "ramped, not a jump of 0.3";

    ch->fadeOut(Frames(4410));
    clock.renderFed(*ch, 2205);
    EXPECT_NEAR(clock.sink().captured().back(), 0.05, 1e-3);

    EXPECT_EQ(ch->setGain(-1.0f), Failure(EngineError::BadParameter));
    EXPECT_EQ(ch->setGain(16.5f), Failure(EngineError::BadParameter));
    EXPECT_EQ(ch->setGain(std::nanf("")), Failure(EngineError::BadParameter));
}

TEST_F(PlaybackTest, SeekIsImmediateAndSampleExact) {
    const auto ramp = [](std::uint64_t i, int) { return double(i % 20000) / 32767.0; };
    auto ch = load("ramp.wav", {kRate, 1, SampleFormat::S16, 100000}, ramp);
    ASSERT_TRUE(ch);
    ASSERT_EQ(ch->seek(Frames(30001)), Failure());
    EXPECT_EQ(frames(*ch), 30001);
    ASSERT_EQ(ch->play(), Failure());
    clock.sink().setCapture(true);
    clock.renderFed(*ch, 10);
    EXPECT_NEAR(clock.sink().captured()[0] * 32768.0, 10001.0, 0.01);
    EXPECT_EQ(frames(*ch), 30011);
    // While playing, from a full buffer.
    clock.renderFed(*ch, 44100);
    clock.sink().clearCaptured();
    ASSERT_EQ(ch->seek(Frames(5)), Failure());
    EXPECT_EQ(frames(*ch), 5);
    clock.renderFed(*ch, 3);
    EXPECT_NEAR(clock.sink().captured()[0] * 32768.0, 5.0, 0.01);
    EXPECT_EQ(frames(*ch), 8);
    EXPECT_EQ(ch->seek(Frames(100001)), Failure(EngineError::BadPosition));
    EXPECT_EQ(ch->seek(Frames(-1)), Failure(EngineError::BadPosition));
    EXPECT_EQ(frames(*ch), 8) << "a refused seek leaves the position alone";
}

TEST_F(PlaybackTest, RingRunningDryIsStalledUntilDataFlowsAgain) {
    engine().setBufferLength(std::chrono::milliseconds(100));
    auto ch = load("long.wav", {kRate, 1, SampleFormat::S16, kRate * 3}, sine(440, kRate));
    ASSERT_TRUE(ch);
    EventLog events;
    HandClockEngine::record(*ch, events);
    ASSERT_EQ(ch->play(), Failure());
    // Up to a second without waiting for the decoder: far more than the 100 ms buffer. The
    // state is read right after the block that ran dry, before the decoder can refill it.
    for (std::size_t rendered = 0; events.empty() && rendered < kRate; rendered += kBlock) {
        clock.render(kBlock);
    }
    ASSERT_EQ(events, EventLog{Kind::Stalled});
    EXPECT_EQ(ch->state(), ChannelState::Stalled);
    EXPECT_LT(ch->position(), Frames(kRate)) << "fewer frames played than rendered";
    ASSERT_TRUE(ch->waitBuffered(kBlock, std::chrono::seconds(5)));
    clock.render(kBlock);
    EXPECT_EQ(ch->state(), ChannelState::Playing);
}

TEST_F(PlaybackTest, SpectrumShowsWhatWasPlayedLast) {
    auto ch = load("khz.wav", {kRate, 1, SampleFormat::S16, kRate}, sine(1000, kRate, 1.0));
    ASSERT_TRUE(ch);
    std::array<float, SoundEngine::kFftBins> bins{};
    bins.fill(-1.0f);
    EXPECT_FALSE(ch->spectrum(bins)) << "not playing";
    ASSERT_EQ(ch->play(), Failure());
    clock.renderFed(*ch, 1024);
    ASSERT_TRUE(ch->spectrum(bins));
    const auto top = std::max_element(bins.begin(), bins.end()) - bins.begin();
    EXPECT_NEAR(double(top), 1000.0 * 512 / kRate, 1.0);
    EXPECT_NEAR(bins[static_cast<std::size_t>(top)], 1.0, 0.4);
    EXPECT_LT(bins[100], 0.01);
}

TEST_F(PlaybackTest, DevicesAndWhatTheyAnswer) {
    EXPECT_EQ(engine().openDevice(1), Failure(EngineError::AlreadyOpen));
    EXPECT_EQ(engine().openDevice(2), Failure(EngineError::NoSuchDevice));
    EXPECT_EQ(engine().openDevice(11), Failure(EngineError::NoSuchDevice));
    EXPECT_EQ(engine().openDevice(-1), Failure(EngineError::NoSuchDevice));
    EXPECT_EQ(engine().deviceDescription(0), "No sound");
    EXPECT_EQ(engine().deviceDescription(1), "Hand clock");
    EXPECT_FALSE(engine().deviceDescription(2).has_value());
    EXPECT_EQ(engine().deviceRate(1), kRate);
    EXPECT_EQ(engine().deviceRate(2), 0u);

    // A device that is not open is never swapped for another: channels on it fail.
    writeWav(dir.path("a.wav"), {kRate, 2, SampleFormat::S16, 1000}, sine(440, kRate));
    for (const int notOpen : {0, 2, 11}) {
        EXPECT_EQ(engine().deviceProblem(notOpen),
                  Failure(notOpen == 11 ? EngineError::NoSuchDevice : EngineError::DeviceNotOpen));
        auto opened = engine().open(notOpen, dir.path("a.wav").string());
        ASSERT_FALSE(opened) << "device " << notOpen;
        EXPECT_EQ(opened.error(), EngineError::DeviceNotOpen) << "device " << notOpen;
    }
    EXPECT_EQ(engine().deviceProblem(1), Failure());

    auto ch = engine().open(1, dir.path("a.wav").string());
    ASSERT_TRUE(ch);
    EXPECT_EQ(ch.value()->info().rate, kRate);
    EXPECT_EQ(ch.value()->info().channels, 2u);
    EXPECT_FALSE(ch.value()->info().eightBit);
    EXPECT_EQ(ch.value()->length(), Frames(1000));
}

// A handler may destroy its own channel: the engine must not touch it afterwards.
TEST_F(PlaybackTest, HandlerMayDestroyItsOwnChannel) {
    auto ch = load("blip.wav", {kRate, 1, SampleFormat::S16, 300}, sine(440, kRate));
    ASSERT_TRUE(ch);
    int ended = 0;
    ch->setEventHandler([&](ChannelEvent event) {
        ended += event.kind == Kind::Ended ? 1 : 0;
        ch.reset();
    });
    ASSERT_EQ(ch->play(), Failure());
    clock.render(kBlock * 2);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(ch, nullptr);
    clock.render(kBlock);
}

TEST(NoSoundDevice, ConsumesInRealTime) {
    TempDir dir;
    auto engine = makeSoundEngine();
    writeWav(dir.path("third.wav"), {48000, 1, SampleFormat::S16, 16000}, sine(440, 48000));
    auto early = engine->open(SoundEngine::kNoSoundDevice, dir.path("third.wav").string());
    ASSERT_FALSE(early);
    EXPECT_EQ(early.error(), EngineError::DeviceNotOpen);
    ASSERT_EQ(engine->openDevice(SoundEngine::kNoSoundDevice), Failure());
    auto opened = engine->open(SoundEngine::kNoSoundDevice, dir.path("third.wav").string());
    ASSERT_TRUE(opened);
    Channel& ch = *opened.value();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(ch.play(), Failure());
    while (ch.state() != ChannelState::Stopped &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(ch.state(), ChannelState::Stopped);
    EXPECT_EQ(ch.position(), ch.length());
    EXPECT_GT(elapsed, 0.30) << "a third of a second of audio takes a third of a second";
    EXPECT_LT(elapsed, 0.60);
}

// Sets an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* before = std::getenv(name)) {
            saved_ = before;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(NoSoundServer, OnlyTheNoSoundDeviceExists) {
    const ScopedEnv noPulse("PULSE_SERVER", "unix:/nonexistent/bandora/native");
    const ScopedEnv noJack("JACK_DEFAULT_SERVER", "bandora-nonexistent");
    auto engine = makeSoundEngine();
    EXPECT_EQ(engine->deviceDescription(0), "No sound");
    EXPECT_EQ(engine->deviceDescription(1), std::nullopt);
    EXPECT_EQ(engine->openDevice(1), Failure(EngineError::NoSuchDevice));
    EXPECT_EQ(engine->openDevice(0), Failure());
}

} // namespace

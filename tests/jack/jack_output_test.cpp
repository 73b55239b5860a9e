// The engine on the test script's JACK server (dummy driver, 48 kHz, four playback ports):
// how JACK devices are listed after the sound server's sinks, and what a cart on one really
// puts out, recorded by a JACK client of the test's own.
#include "audio/engine/combined_devices.h"
#include "audio/engine/jack_output.h"
#include "audio/engine/pulse_output.h"
#include "audio/engine/sound_engine.h"
#include "jack_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace audio::engine;
using namespace jacktest;

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint64_t kPeriod = 128; // the test server's
const std::vector<std::string> kFirstPair{"system:playback_1", "system:playback_2"};
const std::vector<std::string> kSecondPair{"system:playback_3", "system:playback_4"};

class JackOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = makeSoundEngine();
        first = deviceNamed("JACK: system playback 1/2");
        second = deviceNamed("JACK: system playback 3/4");
        ASSERT_GT(first, 0) << "no test JACK server?";
        ASSERT_GT(second, 0);
    }
    int deviceNamed(const std::string& text) {
        for (int d = 1; d <= SoundEngine::kMaxDevice; ++d) {
            if (engine->deviceDescription(d) == text) {
                return d;
            }
        }
        return -1;
    }
    std::unique_ptr<Channel> tone(int device, double hz, double amplitude, double seconds) {
        const std::string path = dir.path(std::to_string(hz) + ".wav");
        writeSineWav(path, hz, amplitude, seconds, kRate);
        auto opened = engine->open(device, path);
        if (!opened) {
            ADD_FAILURE() << "cannot open " << path;
            return nullptr;
        }
        return opened.take();
    }
    // Records until the channel has ended and a little silence followed.
    static bool recordToEnd(const Recorder& recorder, const Channel& channel) {
        return waitUntil([&] { return channel.state() == ChannelState::Stopped; }) &&
               waitUntil([&, end = recorder.frames()] { return recorder.frames() > end + 4800; });
    }

    TempFolder dir;
    std::unique_ptr<SoundEngine> engine;
    int first = -1;
    int second = -1;
};

TEST_F(JackOutputTest, PairsOfPlaybackPortsComeAfterTheSinksAndAreFoundByTheirPorts) {
    // One snapshot of the list: the sound server's sinks, then JACK's pairs in port order.
    CombinedDeviceProvider provider(std::make_unique<PulseDeviceProvider>(),
                                    std::make_unique<JackDeviceProvider>());
    const std::vector<DeviceInfo> devices = provider.list();
    const auto firstJack = std::find_if(devices.begin(), devices.end(),
                                        [](const DeviceInfo& d) { return !d.jackPorts.empty(); });
    ASSERT_NE(firstJack, devices.end());
    EXPECT_GE(firstJack - devices.begin(), 1) << "the test sound server's sinks come first";
    ASSERT_EQ(devices.end() - firstJack, 2);
    EXPECT_EQ(firstJack->description, "JACK: system playback 1/2");
    EXPECT_EQ(firstJack->jackPorts, kFirstPair);
    EXPECT_EQ((firstJack + 1)->description, "JACK: system playback 3/4");
    EXPECT_EQ((firstJack + 1)->jackPorts, kSecondPair);

    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(engine->devicePorts(first), kFirstPair);
    EXPECT_TRUE(engine->devicePorts(1).empty()) << "a sound server sink has no JACK ports";
    EXPECT_EQ(engine->deviceWithPorts(kSecondPair), second);
    EXPECT_EQ(engine->deviceWithPorts({"system:playback_2", "system:playback_3"}), std::nullopt);
}

TEST_F(JackOutputTest, WithoutAJackServerOnlyTheSinksAreListed) {
    CombinedDeviceProvider withJack(std::make_unique<PulseDeviceProvider>(),
                                    std::make_unique<JackDeviceProvider>("bandora-no-server"));
    const std::vector<DeviceInfo> sinks = PulseDeviceProvider().list();
    const std::vector<DeviceInfo> devices = withJack.list();
    ASSERT_EQ(devices.size(), sinks.size());
    for (std::size_t i = 0; i < sinks.size(); ++i) {
        EXPECT_EQ(devices[i].description, sinks[i].description);
    }
}

TEST_F(JackOutputTest, ACartReachesTheChosenPortsAtItsPitchAndLevel) {
    ASSERT_EQ(engine->openDevice(first), Failure());
    EXPECT_EQ(engine->deviceRate(first), kRate);
    Recorder recorder("", 10 * kRate);
    ASSERT_TRUE(recorder.ok());
    ASSERT_TRUE(recorder.recordWhatFeeds(kFirstPair)) << "our ports are not connected";
    EXPECT_EQ(recorder.feeders("system:playback_3"), std::vector<std::string>{});

    auto channel = tone(first, 1000.0, 0.5, 1.0);
    ASSERT_TRUE(channel);
    const std::size_t from = recorder.frames();
    const std::uint64_t xrunsBefore = engine->outputUnderruns(first);
    ASSERT_EQ(channel->play(), Failure());
    ASSERT_TRUE(recordToEnd(recorder, *channel));
    const std::uint64_t xruns = engine->outputUnderruns(first) - xrunsBefore;

    for (const std::vector<float>& side : {recorder.left(from), recorder.right(from)}) {
        const Tone heard = measureTone(side, kRate, 480);
        EXPECT_NEAR(heard.hz, 1000.0, 5.0);
        EXPECT_NEAR(heard.rms, 0.5 / std::sqrt(2.0), 0.01);
        EXPECT_NEAR(heard.peak, 0.5, 0.01);
        // Exactly the second, but for the periods the recorder lost to xruns of the loaded
        // test machine (the server here runs without real-time rights).
        const double expected = kRate - 2 * 480;
        EXPECT_LE(double(heard.soundingFrames), expected + 2.0);
        EXPECT_GE(double(heard.soundingFrames), expected - 2.0 - double(kPeriod * xruns))
            << xruns << " xruns";
    }
}

TEST_F(JackOutputTest, OnAirAndCueOnTwoPairsEachCarryTheirOwnCart) {
    ASSERT_EQ(engine->openDevice(first), Failure());
    ASSERT_EQ(engine->openDevice(second), Failure());
    Recorder air("", 10 * kRate);
    Recorder cue("", 10 * kRate);
    ASSERT_TRUE(air.recordWhatFeeds(kFirstPair));
    ASSERT_TRUE(cue.recordWhatFeeds(kSecondPair));

    auto onAir = tone(first, 440.0, 0.5, 0.5);
    auto preListen = tone(second, 1500.0, 0.25, 0.5);
    ASSERT_TRUE(onAir && preListen);
    const std::size_t airFrom = air.frames();
    const std::size_t cueFrom = cue.frames();
    ASSERT_EQ(onAir->play(), Failure());
    ASSERT_EQ(preListen->play(), Failure());
    ASSERT_TRUE(recordToEnd(air, *onAir));
    ASSERT_TRUE(recordToEnd(cue, *preListen));

    const Tone airTone = measureTone(air.left(airFrom), kRate, 480);
    const Tone cueTone = measureTone(cue.right(cueFrom), kRate, 480);
    EXPECT_NEAR(airTone.hz, 440.0, 5.0);
    EXPECT_NEAR(airTone.peak, 0.5, 0.01) << "nothing of the cue mixed in";
    EXPECT_NEAR(cueTone.hz, 1500.0, 5.0);
    EXPECT_NEAR(cueTone.peak, 0.25, 0.01) << "nothing on air mixed in";
}

TEST_F(JackOutputTest, ClosingTheEngineLeavesTheGraph) {
    ASSERT_EQ(engine->openDevice(first), Failure());
    Recorder watcher("", kRate);
    ASSERT_FALSE(watcher.feeders(kFirstPair[0]).empty());
    engine.reset();
    EXPECT_TRUE(waitUntil([&] { return watcher.feeders(kFirstPair[0]).empty(); }));
}

} // namespace

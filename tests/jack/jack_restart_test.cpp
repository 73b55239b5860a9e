// A JACK device when its server stops, crashes, restarts, changes its period or comes back at
// another rate: a server of the test's own, so other tests keep theirs.
#include "audio/engine/jack_output.h"
#include "audio/engine/sound_engine.h"
#include "jack_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <unistd.h>

using namespace audio::engine;
using namespace jacktest;

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr int kDevice = 1; // only JACK's pairs here: the first is system playback 1/2
constexpr int kReturnLimitMs = 2000;
const std::vector<std::string> kPair{"system:playback_1", "system:playback_2"};

class JackRestartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << "jackd did not start";
        engine = std::make_unique<SoundEngine>(std::make_unique<JackDeviceProvider>(server.name()));
        ASSERT_EQ(engine->deviceDescription(kDevice), "JACK: system playback 1/2");
        ASSERT_EQ(engine->openDevice(kDevice), Failure());
        writeSineWav(dir.path("long.wav"), 1000.0, 0.5, 20.0, kRate);
        channel = openLong();
        ASSERT_TRUE(channel);
    }
    void TearDown() override {
        channel.reset();
        engine.reset();
    }
    std::unique_ptr<Channel> openLong() {
        auto opened = engine->open(kDevice, dir.path("long.wav"));
        return opened ? opened.take() : nullptr;
    }
    bool usable() const { return !engine->deviceProblem(kDevice); }
    // Plays the channel and waits until its first frame left the mixer.
    void playOnAir() {
        ASSERT_EQ(channel->play(), Failure());
        ASSERT_TRUE(waitUntil([&] { return channel->startedNs() != 0; }));
    }
    // Waits for the device to be lost, with the events of the loss delivered.
    bool waitLost() {
        return waitUntil([&] {
            engine->dispatchEvents();
            return engine->deviceProblem(kDevice) == Failure(EngineError::DeviceGone);
        });
    }
    // Milliseconds from now until the device plays again; -1 if it does not within 5 s.
    int msUntilBack() {
        const auto start = std::chrono::steady_clock::now();
        if (!waitUntil([&] { return usable(); })) {
            return -1;
        }
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
    }
    // Plays the long tone from its start and checks that the server's playback ports get it.
    void expectToneReachesPorts() {
        Recorder recorder(server.name(), 10 * kRate);
        ASSERT_TRUE(recorder.ok());
        ASSERT_TRUE(recorder.recordWhatFeeds(kPair)) << "our ports are not connected again";
        ASSERT_EQ(channel->play(), Failure());
        const std::size_t from = recorder.frames();
        ASSERT_TRUE(waitUntil([&] { return recorder.frames() > from + kRate / 2; }));
        const Tone heard = measureTone(recorder.left(from), kRate, 480);
        EXPECT_NEAR(heard.hz, 1000.0, 5.0);
        EXPECT_NEAR(heard.peak, 0.5, 0.01);
        channel->stop();
    }

    JackServer server{"bandora-restart-" + std::to_string(getpid())};
    TempFolder dir;
    std::unique_ptr<SoundEngine> engine;
    std::unique_ptr<Channel> channel;
};

TEST_F(JackRestartTest, AStoppedServerLosesTheDeviceAndARestartBringsItBackWithin2s) {
    std::vector<ChannelEvent::Kind> events;
    channel->setEventHandler([&](ChannelEvent e) { events.push_back(e.kind); });
    playOnAir();

    server.stop();
    ASSERT_TRUE(waitLost());
    // The mixer stops its channels at its next block, on the clock that stands in for JACK.
    EXPECT_TRUE(waitUntil([&] {
        engine->dispatchEvents();
        return !events.empty();
    }));
    EXPECT_EQ(events, std::vector<ChannelEvent::Kind>{ChannelEvent::Kind::DeviceLost});
    EXPECT_EQ(channel->state(), ChannelState::Stopped);
    EXPECT_EQ(channel->play(), Failure(EngineError::DeviceGone));
    EXPECT_EQ(engine->openDevice(kDevice), Failure(EngineError::NoSuchDevice))
        << "one attempt at once, and no server to find";

    ASSERT_TRUE(server.start());
    const int back = msUntilBack();
    EXPECT_GE(back, 0) << "the device did not come back";
    EXPECT_LE(back, kReturnLimitMs);
    RecordProperty("msUntilBack", back);
    ASSERT_EQ(channel->seek(Frames(0)), Failure());
    expectToneReachesPorts();
}

TEST_F(JackRestartTest, ACrashedServerIsTakenForGoneAndFoundAgain) {
    playOnAir();
    server.crash();
    ASSERT_TRUE(waitLost());
    EXPECT_EQ(channel->play(), Failure(EngineError::DeviceGone));

    ASSERT_TRUE(server.start());
    const int back = msUntilBack();
    EXPECT_GE(back, 0) << "the device did not come back";
    EXPECT_LE(back, kReturnLimitMs);
    expectToneReachesPorts();
}

TEST_F(JackRestartTest, AServerBackAtAnotherRateKeepsTheDeviceLostUntilItsRateReturns) {
    server.stop();
    ASSERT_TRUE(waitLost());
    server.setRate(44100);
    ASSERT_TRUE(server.start());
    // Our mixer runs at 48 kHz for good: at another rate the device is not taken up again.
    // Refused either as a server at another rate or, while it starts, as ports not yet there.
    EXPECT_TRUE(engine->openDevice(kDevice).has_value());
    EXPECT_EQ(channel->play(), Failure(EngineError::DeviceGone));

    server.stop();
    server.setRate(kRate);
    ASSERT_TRUE(server.start());
    EXPECT_GE(msUntilBack(), 0) << "the device did not come back at its own rate";
    expectToneReachesPorts();
}

TEST_F(JackRestartTest, APeriodChangeIsFollowedWithoutAGap) {
    Recorder recorder(server.name(), 20 * kRate);
    ASSERT_TRUE(recorder.recordWhatFeeds(kPair));
    ASSERT_EQ(channel->play(), Failure());
    ASSERT_TRUE(waitUntil([&] { return recorder.firstSound(0) >= 0; }));
    const std::uint64_t xrunsBefore = engine->outputUnderruns(kDevice);
    const std::size_t from = static_cast<std::size_t>(recorder.firstSound(0));

    ASSERT_EQ(jack_set_buffer_size(recorder.client(), 1024), 0);
    ASSERT_TRUE(waitUntil([&] { return engine->outputBufferMs(kDevice) == 22; }))
        << "the period is 1024 frames now, 21.3 ms";
    const std::size_t changedAt = recorder.frames();
    ASSERT_TRUE(waitUntil([&] { return recorder.frames() > changedAt + kRate / 2; }));
    channel->stop();

    // The tone runs on across the change: every frame sounds, but for the periods the
    // recorder lost to xruns of the loaded test machine.
    const std::vector<float> left = recorder.left(from);
    const std::size_t soundingUntil = changedAt + kRate / 2 - from;
    std::size_t silent = 0;
    for (std::size_t i = 0; i < soundingUntil; ++i) {
        silent += left[i] == 0.0f && left[i + 1] == 0.0f ? 1 : 0;
    }
    const std::uint64_t xruns = engine->outputUnderruns(kDevice) - xrunsBefore;
    EXPECT_LE(silent, 1024 * xruns) << xruns << " xruns";
    const Tone heard = measureTone(recorder.left(changedAt), kRate, 480);
    EXPECT_NEAR(heard.hz, 1000.0, 5.0);
    EXPECT_NEAR(heard.peak, 0.5, 0.01);
}

} // namespace

// The engine on the private PulseAudio server of the test script: what the null sinks really
// play, recorded from their monitors.
#include "audio/engine/sound_engine.h"
#include "monitor_recorder.h"
#include "private_server.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace audio;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100; // the null sinks' rate
constexpr std::uint64_t kTail = kRate / 5;

// Two null sinks of this suite's own on the test script's server, so sound from other
// tests running at the same time never reaches these recordings.
class PulseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {"air", "cue"}) {
            const std::string sink = std::string("bandora_engine_") + name;
            modules.push_back(run("pactl load-module module-null-sink sink_name=" + sink +
                                  " sink_properties=device.description=Engine_" + name));
            // A silent low-latency client keeps the new sink from sleeping seconds per block.
            keepers.push_back(spawnProcess({"pacat", "--playback", "--raw", "--format=s16le",
                                            "--rate=44100", "--channels=2", "--latency-msec=10",
                                            "--device=" + sink, "/dev/zero"}));
        }
    }
    static void TearDownTestSuite() {
        for (pid_t keeper : keepers) {
            endProcess(keeper);
        }
        for (const std::string& module : modules) {
            run("pactl unload-module " + module);
        }
    }
    void SetUp() override {
        engine = engine::makeSoundEngine();
        ASSERT_EQ(engine->deviceDescription(1), "Bandora_Out") << "no test sound server?";
        air = deviceNamed("Engine_air");
        cue = deviceNamed("Engine_cue");
        ASSERT_GT(air, 0);
        ASSERT_GT(cue, 0);
    }
    int deviceNamed(const std::string& text) {
        for (int d = 1; d <= 10; ++d) {
            if (engine->deviceDescription(d) == text) {
                return d;
            }
        }
        return -1;
    }
    StreamHandle tone(int device, const std::string& name, double hz, std::uint32_t rate,
                      double seconds) {
        writeWav(dir.path(name), {rate, 2, SampleFormat::S16, std::uint64_t(seconds * rate)},
                 sine(hz, rate, 0.5));
        engine->setDevice(device);
        const StreamHandle h = engine->createFileStream(dir.path(name).string(), 0);
        EXPECT_NE(h, 0u) << engine->lastError();
        return h;
    }
    // Device `air` recorded from its monitor into airTake, and a 3 s half-scale 440 Hz tone
    // playing on it for 0.8 s; 0 on failure.
    StreamHandle longToneUnderWay() {
        if (!engine->init(air, kRate, 0, nullptr)) {
            ADD_FAILURE() << "init: " << engine->lastError();
            return 0;
        }
        airTake =
            std::make_unique<MonitorRecorder>("bandora_engine_air", dir.path("out.raw"), kRate);
        const StreamHandle h = tone(air, "long.wav", 440.0, kRate, 3.0);
        const bool underWay = airTake->waitFrames(kRate / 20) && engine->play(h, false) &&
                              waitUntil([&] { return engine->position(h) >= 4u * kRate / 5; });
        EXPECT_TRUE(underWay);
        return underWay ? h : 0;
    }
    // Waits for the channel to end, then records a little more so the end is on disk.
    void finishAndSettle(StreamHandle h, MonitorRecorder& recorder) {
        ASSERT_TRUE(waitUntil([&] { return engine->isActive(h) == kChannelStopped; }));
        ASSERT_TRUE(recorder.waitFrames(recorder.framesRecorded() + kTail));
    }

    static std::vector<std::string> modules;
    static std::vector<pid_t> keepers;
    TempDir dir;
    std::unique_ptr<engine::SoundEngine> engine;
    std::unique_ptr<MonitorRecorder> airTake;
    int air = -1;
    int cue = -1;
};

std::vector<std::string> PulseTest::modules;
std::vector<pid_t> PulseTest::keepers;

TEST_F(PulseTest, DevicesAreTheServersSinksDefaultFirst) {
    EXPECT_EQ(engine->deviceDescription(2), "Bandora_Cue");
    EXPECT_FALSE(engine->deviceDescription(11).has_value());
    ASSERT_TRUE(engine->init(1, kRate, 0, nullptr));
    ASSERT_TRUE(engine->init(2, kRate, 0, nullptr));
    EXPECT_FALSE(engine->init(2, kRate, 0, nullptr));
    EXPECT_EQ(engine->lastError(), kErrAlready);
}

TEST_F(PulseTest, ToneSoundsAtItsPitchAndLengthAfterResampling) {
    ASSERT_TRUE(engine->init(air, kRate, 0, nullptr));
    MonitorRecorder recorder("bandora_engine_air", dir.path("out.raw"), kRate);
    ASSERT_TRUE(recorder.waitFrames(kRate / 20)) << "parec does not record";
    const StreamHandle h =
        tone(air, "a.wav", 440.0, 48000, 0.5); // resampled to the sink's 44.1 kHz
    ASSERT_TRUE(engine->play(h, false));
    finishAndSettle(h, recorder);
    const std::vector<float> take = recorder.finish();
    const Span span = loudSpan(take, 0);
    ASSERT_TRUE(span.found);
    EXPECT_NEAR(double(span.last - span.first) / kRate, 0.5, 0.004);
    EXPECT_NEAR(zeroCrossingHz(take, 0, span, kRate), 440.0, 2.0);
    EXPECT_NEAR(peakIn(take, 1, span.first, span.last), 0.5, 0.02);
}

TEST_F(PulseTest, FadeFallsToSilenceInItsTimeAndStopIsSilent) {
    const StreamHandle h = longToneUnderWay();
    ASSERT_NE(h, 0u);
    MonitorRecorder& recorder = *airTake;
    ASSERT_TRUE(engine->slideAttributes(h, kKeepRate, kSlideToSilence, kKeepPan, 400));
    finishAndSettle(h, recorder);
    const std::uint64_t fadeEnded = engine->position(h) / 4;
    EXPECT_NEAR(double(fadeEnded) / kRate, 0.2 + 0.4 + 0.2, 0.25) << "stopped soon after the fade";

    // The fade: full level, then a straight fall to nothing over 400 ms.
    const std::vector<float> take = recorder.finish();
    const Span span = loudSpan(take, 0, 0.005f);
    ASSERT_TRUE(span.found);
    std::size_t fallStart = span.last;
    while (fallStart > span.first && peakIn(take, 0, fallStart - 441, fallStart) < 0.49f) {
        fallStart -= 441;
    }
    const double fall = double(span.last - fallStart) / kRate;
    EXPECT_NEAR(fall, 0.4 * 0.99, 0.03) << "from full level to -46 dB";
    const float halfWay = peakIn(take, 0, fallStart + kRate / 5 - 441, fallStart + kRate / 5 + 441);
    EXPECT_NEAR(halfWay, 0.25f, 0.03f);
    EXPECT_EQ(peakIn(take, 0, span.last + 441, take.size() / 2), 0.0f) << "silence after the fade";
}

TEST_F(PulseTest, StopFadesOutWithinFiveMillisecondsWithoutASpike) {
    const StreamHandle h = longToneUnderWay();
    ASSERT_NE(h, 0u);
    MonitorRecorder& recorder = *airTake;
    ASSERT_TRUE(engine->stop(h));
    EXPECT_EQ(engine->isActive(h), kChannelStopped);
    ASSERT_TRUE(recorder.waitFrames(recorder.framesRecorded() + kTail));

    const std::vector<float> take = recorder.finish();
    const Span span = loudSpan(take, 0, 1e-6f);
    ASSERT_TRUE(span.found);
    constexpr std::size_t kFade = kRate * 5 / 1000;
    EXPECT_GT(peakIn(take, 0, span.last - kFade - 120, span.last - kFade), 0.45f)
        << "full level until the fade begins";
    EXPECT_EQ(peakIn(take, 0, span.last + 1, take.size() / 2), 0.0f) << "silence after the fade";
    // The half-scale tone's own steepest step, plus what a 5 ms linear fade adds to it.
    const double allowed = 0.5 * 2.0 * std::sin(M_PI * 440.0 / kRate) + 0.5 / (kFade + 1);
    double worst = 0.0;
    for (std::size_t i = span.last - kRate / 10; i <= span.last + 1; ++i) {
        worst = std::max(worst, double(std::abs(take[i * 2] - take[(i - 1) * 2])));
    }
    EXPECT_LE(worst, allowed + 1e-4) << "no discontinuity where the stop fell";
}

// Stops the whole process (every thread, the mixing one too) for about `ms` while the sound
// server plays on: a real underflow, as a busy machine makes. A forked helper wakes it; it
// keeps waking it in case the stop itself came late.
void stallThisProcess(int ms) {
    const pid_t self = getpid();
    const pid_t waker = fork();
    if (waker == 0) {
        timespec pause{0, ms * 1'000'000L};
        for (int i = 0; i < 50; ++i) { // only async-signal-safe calls in a forked child
            nanosleep(&pause, nullptr);
            kill(self, SIGCONT);
        }
        _exit(0);
    }
    ASSERT_GT(waker, 0);
    kill(self, SIGSTOP);
    kill(waker, SIGKILL);
    waitpid(waker, nullptr, 0);
}

TEST_F(PulseTest, UnderflowsGrowTheServerBufferStepByStepToItsCap) {
    ASSERT_TRUE(engine->init(air, kRate, 0, nullptr));
    EXPECT_EQ(engine->outputBufferMs(air), 20u) << "an idle machine keeps the small buffer";
    const StreamHandle h = tone(air, "long.wav", 440.0, kRate, 10.0);
    ASSERT_TRUE(engine->play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine->position(h) > 0; }));
    // A busy machine may add an underrun of its own: each stall is judged from the buffer that
    // was held just before it.
    for (int stall = 0; stall < 3; ++stall) {
        const std::uint32_t expected = std::min(2 * engine->outputBufferMs(air), 80u);
        const std::uint64_t before = engine->outputUnderruns(air);
        stallThisProcess(150);
        ASSERT_TRUE(waitUntil([&] { return engine->outputUnderruns(air) > before; }))
            << "the stall did not make the server run dry";
        EXPECT_TRUE(waitUntil([&] { return engine->outputBufferMs(air) >= expected; }))
            << "wanted " << expected << " ms, the server holds " << engine->outputBufferMs(air);
        EXPECT_LE(engine->outputBufferMs(air), 80u) << "the cap";
    }
    EXPECT_EQ(engine->outputBufferMs(air), 80u);
    EXPECT_EQ(engine->isActive(h), kChannelPlaying) << "the channel plays on";
}

TEST_F(PulseTest, TwoDevicesPlayIndependently) {
    ASSERT_TRUE(engine->init(air, kRate, 0, nullptr));
    ASSERT_TRUE(engine->init(cue, kRate, 0, nullptr));
    MonitorRecorder airTake("bandora_engine_air", dir.path("out.raw"), kRate);
    MonitorRecorder cueTake("bandora_engine_cue", dir.path("cue.raw"), kRate);
    ASSERT_TRUE(airTake.waitFrames(kRate / 20) && cueTake.waitFrames(kRate / 20));
    const StreamHandle onAir = tone(air, "air.wav", 440.0, kRate, 0.6);
    const StreamHandle preListen = tone(cue, "cue.wav", 1000.0, kRate, 2.0);
    ASSERT_TRUE(engine->play(onAir, false));
    ASSERT_TRUE(engine->play(preListen, false));
    ASSERT_TRUE(waitUntil([&] { return engine->position(preListen) >= 4u * kRate / 5; }));
    ASSERT_TRUE(engine->stop(preListen));
    const std::uint64_t cueStopped = engine->position(preListen) / 4;
    finishAndSettle(onAir, airTake);
    ASSERT_TRUE(cueTake.waitFrames(cueTake.framesRecorded() + kTail));

    const std::vector<float> onAirTake = airTake.finish();
    const std::vector<float> pre = cueTake.finish();
    const Span airSpan = loudSpan(onAirTake, 0);
    const Span preSpan = loudSpan(pre, 1);
    ASSERT_TRUE(airSpan.found && preSpan.found);
    EXPECT_NEAR(zeroCrossingHz(onAirTake, 0, airSpan, kRate), 440.0, 2.0);
    EXPECT_NEAR(double(airSpan.last - airSpan.first) / kRate, 0.6, 0.004);
    EXPECT_NEAR(zeroCrossingHz(pre, 1, preSpan, kRate), 1000.0, 4.0);
    EXPECT_NEAR(double(preSpan.last - preSpan.first) / kRate, double(cueStopped) / kRate, 0.01)
        << "the cue stopped where its position stopped; the output played on";
    EXPECT_EQ(peakIn(pre, 1, preSpan.last + 441, pre.size() / 2), 0.0f) << "stop is silent";
}

TEST_F(PulseTest, RemovedSinkStopsItsChannelsStaysLostAndComesBackByItself) {
    const std::string load = "pactl load-module module-null-sink sink_name=bandora_gone "
                             "sink_properties=device.description=Bandora_Gone";
    const std::string module = run(load);
    ASSERT_FALSE(module.empty());
    int gone = -1;
    ASSERT_TRUE(waitUntil([&] { return (gone = deviceNamed("Bandora_Gone")) > 0; }, 3000));
    ASSERT_TRUE(engine->init(gone, kRate, 0, nullptr));
    const StreamHandle h = tone(gone, "t.wav", 440.0, kRate, 5.0);
    ASSERT_TRUE(engine->play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine->position(h) > 0; }));

    run("pactl unload-module " + module);
    ASSERT_TRUE(waitUntil([&] { return engine->isActive(h) == kChannelStopped; }, 3000));
    EXPECT_FALSE(engine->deviceUsable(gone));
    EXPECT_EQ(engine->lastError(), kErrStart);
    EXPECT_FALSE(engine->play(h, false));
    EXPECT_EQ(engine->lastError(), kErrStart);
    EXPECT_TRUE(engine->setPosition(h, 0)) << "calls on the stream still answer";
    EXPECT_FALSE(engine->init(gone, kRate, 0, nullptr)) << "init tries at once: no sink yet";
    EXPECT_EQ(engine->lastError(), kErrDevice);
    EXPECT_FALSE(engine->deviceUsable(gone));

    const std::string again = run(load);
    EXPECT_TRUE(waitUntil([&] { return engine->deviceUsable(gone); }, 2000))
        << "back within 2 s of the sink, without init";
    ASSERT_TRUE(engine->play(h, false)) << engine->lastError();
    EXPECT_TRUE(waitUntil([&] { return engine->position(h) > 0; })) << "the old stream plays";
    EXPECT_FALSE(engine->init(gone, kRate, 0, nullptr));
    EXPECT_EQ(engine->lastError(), kErrAlready);
    engine.reset();
    run("pactl unload-module " + again);
}

} // namespace

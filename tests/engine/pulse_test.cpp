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

using namespace audio::engine;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100; // the null sinks' rate
constexpr std::uint64_t kTail = kRate / 5;

// How long the tone itself sounded: the span without the silence the server played while the
// output ran dry, which only an underrun may have put there.
double soundingSeconds(const std::vector<float>& take, int ch, Span span, std::uint64_t underruns) {
    const std::size_t dropouts = dropoutFrames(take, ch, span);
    EXPECT_TRUE(dropouts == 0 || underruns > 0)
        << dropouts << " frames of silence inside the tone, and the output never ran dry";
    return double(span.last - span.first - dropouts) / kRate;
}

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
        engine = makeSoundEngine();
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
    std::unique_ptr<Channel> tone(int device, const std::string& name, double hz,
                                  std::uint32_t rate, double seconds) {
        writeWav(dir.path(name), {rate, 2, SampleFormat::S16, std::uint64_t(seconds * rate)},
                 sine(hz, rate, 0.5));
        auto opened = engine->open(device, dir.path(name).string());
        if (!opened) {
            ADD_FAILURE() << name << ": " << opened.error();
            return nullptr;
        }
        return opened.take();
    }
    // Device `air` recorded from its monitor into airTake, and a 3 s half-scale 440 Hz tone
    // 0.2 s into playing on it; null on failure.
    std::unique_ptr<Channel> longToneUnderWay() {
        if (const Failure error = engine->openDevice(air)) {
            ADD_FAILURE() << "openDevice: " << *error;
            return nullptr;
        }
        airTake =
            std::make_unique<MonitorRecorder>("bandora_engine_air", dir.path("out.raw"), kRate);
        auto ch = tone(air, "long.wav", 440.0, kRate, 3.0);
        const bool underWay = ch && airTake->waitFrames(kRate / 20) && !ch->play() &&
                              waitUntil([&] { return ch->position() >= Frames(kRate / 5); });
        EXPECT_TRUE(underWay);
        return underWay ? std::move(ch) : nullptr;
    }
    // Waits for the channel to end, then records a little more so the end is on disk.
    void finishAndSettle(const Channel& ch, MonitorRecorder& recorder) {
        ASSERT_TRUE(waitUntil([&] { return ch.state() == ChannelState::Stopped; }));
        ASSERT_TRUE(recorder.waitFrames(recorder.framesRecorded() + kTail));
    }

    static std::vector<std::string> modules;
    static std::vector<pid_t> keepers;
    TempDir dir;
    std::unique_ptr<SoundEngine> engine;
    std::unique_ptr<MonitorRecorder> airTake;
    int air = -1;
    int cue = -1;
};

std::vector<std::string> PulseTest::modules;
std::vector<pid_t> PulseTest::keepers;

TEST_F(PulseTest, DevicesAreTheServersSinksDefaultFirst) {
    EXPECT_EQ(engine->deviceDescription(2), "Bandora_Cue");
    EXPECT_EQ(engine->deviceDescription(99), std::nullopt);
    ASSERT_EQ(engine->openDevice(1), Failure());
    ASSERT_EQ(engine->openDevice(2), Failure());
    EXPECT_EQ(engine->openDevice(2), Failure(EngineError::AlreadyOpen));
    EXPECT_EQ(engine->deviceRate(2), kRate);
}

TEST_F(PulseTest, ToneSoundsAtItsPitchAndLengthAfterResampling) {
    ASSERT_EQ(engine->openDevice(air), Failure());
    MonitorRecorder recorder("bandora_engine_air", dir.path("out.raw"), kRate);
    ASSERT_TRUE(recorder.waitFrames(kRate / 20)) << "parec does not record";
    auto ch = tone(air, "a.wav", 440.0, 48000, 0.5); // resampled to the sink's 44.1 kHz
    ASSERT_TRUE(ch);
    ASSERT_EQ(ch->play(), Failure());
    finishAndSettle(*ch, recorder);
    const std::vector<float> take = recorder.finish();
    const Span span = loudSpan(take, 0);
    ASSERT_TRUE(span.found);
    EXPECT_NEAR(soundingSeconds(take, 0, span, engine->outputUnderruns(air)), 0.5, 0.004);
    EXPECT_NEAR(zeroCrossingHz(take, 0, span, kRate), 440.0, 2.0);
    EXPECT_NEAR(peakIn(take, 1, span.first, span.last), 0.5, 0.02);
}

TEST_F(PulseTest, FadeFallsToSilenceInItsTimeAndStopIsSilent) {
    auto ch = longToneUnderWay();
    ASSERT_TRUE(ch);
    MonitorRecorder& recorder = *airTake;
    ch->fadeOut(Frames::fromDuration(std::chrono::milliseconds(400), kRate));
    finishAndSettle(*ch, recorder);
    const std::int64_t fadeEnded = ch->position().count();
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
    auto ch = longToneUnderWay();
    ASSERT_TRUE(ch);
    MonitorRecorder& recorder = *airTake;
    ch->stop();
    EXPECT_EQ(ch->state(), ChannelState::Stopped);
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
    ASSERT_EQ(engine->openDevice(air), Failure());
    EXPECT_EQ(engine->outputBufferMs(air), 20u) << "an idle machine keeps the small buffer";
    auto ch = tone(air, "long.wav", 440.0, kRate, 10.0);
    ASSERT_TRUE(ch);
    ASSERT_EQ(ch->play(), Failure());
    ASSERT_TRUE(waitUntil([&] { return ch->position() > Frames(0); }));
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
    EXPECT_EQ(ch->state(), ChannelState::Playing) << "the channel plays on";
}

TEST_F(PulseTest, TwoDevicesPlayIndependently) {
    ASSERT_EQ(engine->openDevice(air), Failure());
    ASSERT_EQ(engine->openDevice(cue), Failure());
    MonitorRecorder airTake("bandora_engine_air", dir.path("out.raw"), kRate);
    MonitorRecorder cueTake("bandora_engine_cue", dir.path("cue.raw"), kRate);
    ASSERT_TRUE(airTake.waitFrames(kRate / 20) && cueTake.waitFrames(kRate / 20));
    auto onAir = tone(air, "air.wav", 440.0, kRate, 0.6);
    auto preListen = tone(cue, "cue.wav", 1000.0, kRate, 2.0);
    ASSERT_TRUE(onAir && preListen);
    ASSERT_EQ(onAir->play(), Failure());
    ASSERT_EQ(preListen->play(), Failure());
    ASSERT_TRUE(waitUntil([&] { return preListen->position() >= Frames(kRate / 5); }));
    preListen->stop();
    const std::int64_t cueStopped = preListen->position().count();
    finishAndSettle(*onAir, airTake);
    ASSERT_TRUE(cueTake.waitFrames(cueTake.framesRecorded() + kTail));

    const std::uint64_t airUnderruns = engine->outputUnderruns(air);
    const std::uint64_t cueUnderruns = engine->outputUnderruns(cue);
    SCOPED_TRACE(testing::Message() << "output underruns: " << airUnderruns << " on air, "
                                    << cueUnderruns << " on cue");
    const std::vector<float> onAirTake = airTake.finish();
    const std::vector<float> pre = cueTake.finish();
    const Span airSpan = loudSpan(onAirTake, 0);
    const Span preSpan = loudSpan(pre, 1);
    ASSERT_TRUE(airSpan.found && preSpan.found);
    EXPECT_NEAR(zeroCrossingHz(onAirTake, 0, airSpan, kRate), 440.0, 2.0);
    EXPECT_NEAR(soundingSeconds(onAirTake, 0, airSpan, airUnderruns), 0.6, 0.004);
    EXPECT_NEAR(zeroCrossingHz(pre, 1, preSpan, kRate), 1000.0, 4.0);
    EXPECT_NEAR(soundingSeconds(pre, 1, preSpan, cueUnderruns), double(cueStopped) / kRate, 0.01)
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
    ASSERT_EQ(engine->openDevice(gone), Failure());
    auto ch = tone(gone, "t.wav", 440.0, kRate, 5.0);
    ASSERT_TRUE(ch);
    std::vector<ChannelEvent::Kind> events;
    ch->setEventHandler([&](ChannelEvent event) { events.push_back(event.kind); });
    ASSERT_EQ(ch->play(), Failure());
    ASSERT_TRUE(waitUntil([&] { return ch->position() > Frames(0); }));

    run("pactl unload-module " + module);
    ASSERT_TRUE(waitUntil([&] { return ch->state() == ChannelState::Stopped; }, 3000));
    engine->dispatchEvents();
    EXPECT_EQ(events, std::vector{ChannelEvent::Kind::DeviceLost});
    EXPECT_EQ(engine->deviceProblem(gone), Failure(EngineError::DeviceGone));
    EXPECT_EQ(ch->play(), Failure(EngineError::DeviceGone));
    EXPECT_EQ(ch->seek(Frames(0)), Failure()) << "calls on the channel still answer";
    EXPECT_EQ(engine->openDevice(gone), Failure(EngineError::NoSuchDevice))
        << "opening tries at once: no sink yet";
    EXPECT_EQ(engine->deviceProblem(gone), Failure(EngineError::DeviceGone));

    const std::string again = run(load);
    EXPECT_TRUE(waitUntil([&] { return !engine->deviceProblem(gone); }, 2000))
        << "back within 2 s of the sink, without opening it again";
    ASSERT_EQ(ch->play(), Failure());
    EXPECT_TRUE(waitUntil([&] { return ch->position() > Frames(0); })) << "the old channel plays";
    EXPECT_EQ(engine->openDevice(gone), Failure(EngineError::AlreadyOpen));
    ch.reset();
    engine.reset();
    run("pactl unload-module " + again);
}

} // namespace

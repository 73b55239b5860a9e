// The engine when its sound server dies and comes back: a private server of the test's own,
// killed as a crash would, started again, with the sink's monitor recorded.
#include "audio/engine/engine_units.h"
#include "audio/engine/sound_engine.h"
#include "monitor_recorder.h"
#include "private_server.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

using namespace audio::engine;
using namespace enginetest;

namespace {

constexpr std::uint32_t kRate = 44100; // the null sinks' rate
constexpr std::int64_t kReturnLimitNs = 2'000'000'000;

std::size_t entriesIn(const char* dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

// The sinks that the server plays the engine's output streams to, by name.
std::vector<std::string> sinksOfOurOutput() {
    std::map<std::string, std::string> names; // index -> name
    std::istringstream sinks(run("pactl list short sinks"));
    for (std::string index, name, rest; sinks >> index >> name && std::getline(sinks, rest);) {
        names[index] = name;
    }
    std::vector<std::string> found;
    std::istringstream inputs(run("pactl list sink-inputs"));
    std::string sink;
    for (std::string line; std::getline(inputs, line);) {
        const std::size_t at = line.find("Sink: ");
        if (at != std::string::npos) {
            sink = line.substr(at + 6);
        } else if (line.find("media.name = \"Bandora output\"") != std::string::npos) {
            found.push_back(names[sink]);
        }
    }
    return found;
}

class ReconnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start({"lonely"})) << "pulseaudio did not start";
        engine = makeSoundEngine();
        ASSERT_TRUE(waitUntil([&] { return engine->deviceDescription(1) == "Lonely"; }));
        ASSERT_EQ(engine->openDevice(1), Failure());
    }
    void TearDown() override { engine.reset(); }

    std::unique_ptr<Channel> tone(const std::string& name, double hz, double seconds) {
        writeWav(dir.path(name),
                 {kRate, 2, SampleFormat::S16, static_cast<std::uint64_t>(seconds * kRate)},
                 sine(hz, kRate, 0.5));
        auto opened = engine->open(1, dir.path(name).string());
        if (!opened) {
            ADD_FAILURE() << name << ": " << opened.error();
            return nullptr;
        }
        return opened.take();
    }
    bool usable() const { return !engine->deviceProblem(1); }
    void killServer() {
        server.stop();
        ASSERT_TRUE(waitUntil([&] { return !usable(); }, 3000));
    }
    TempDir dir;
    PrivateServer server{dir.path("server")};
    std::unique_ptr<SoundEngine> engine;
};

TEST_F(ReconnectTest, ServerBackWithRenumberedSinksPlaysOnTheSameSinkWithoutInit) {
    auto onAir = tone("air.wav", 440.0, 10.0);
    ASSERT_TRUE(onAir);
    ASSERT_EQ(onAir->play(), Failure());
    ASSERT_TRUE(waitUntil([&] { return onAir->position() > Frames(0); }));

    server.stop();
    ASSERT_TRUE(waitUntil([&] { return onAir->state() == ChannelState::Stopped; }, 3000));
    EXPECT_EQ(engine->deviceProblem(1), Failure(EngineError::DeviceGone));
    EXPECT_EQ(onAir->play(), Failure(EngineError::DeviceGone));

    // Back with another sink as the default: the device's sink is now listed second.
    const std::int64_t backNs = monotonicNs();
    ASSERT_TRUE(server.start({"other", "lonely"}));
    ASSERT_TRUE(waitUntil([&] { return usable(); }, 3000));
    EXPECT_LT(monotonicNs() - backNs, kReturnLimitNs)
        << "usable again within 2 s of the server's return, without opening it again";
    EXPECT_EQ(sinksOfOurOutput(), std::vector<std::string>{"lonely"});
    EXPECT_TRUE(waitUntil([&] { return engine->deviceDescription(1) == "Other"; }))
        << "the server's list did renumber";
    const Frames stoppedAt = onAir->position();
    ASSERT_EQ(onAir->play(), Failure());
    EXPECT_TRUE(waitUntil([&] { return onAir->position() > stoppedAt; }))
        << "the channel from before the loss plays on";
    onAir->stop();

    // A channel opened 3 s after the return plays on the same device number and sink.
    std::this_thread::sleep_for(std::chrono::nanoseconds(backNs + 3'000'000'000 - monotonicNs()));
    MonitorRecorder later("lonely", dir.path("later.raw"), kRate);
    ASSERT_TRUE(later.waitFrames(kRate / 20));
    auto fresh = tone("later.wav", 1000.0, 0.5);
    ASSERT_TRUE(fresh);
    ASSERT_EQ(fresh->play(), Failure());
    ASSERT_TRUE(waitUntil([&] { return fresh->state() == ChannelState::Stopped; }));
    ASSERT_TRUE(later.waitFrames(later.framesRecorded() + kRate / 5));
    const std::vector<float> laterTake = later.finish();
    const Span laterSpan = loudSpan(laterTake, 1);
    ASSERT_TRUE(laterSpan.found);
    EXPECT_NEAR(double(laterSpan.last - laterSpan.first) / kRate, 0.5, 0.01);
    EXPECT_NEAR(zeroCrossingHz(laterTake, 1, laterSpan, kRate), 1000.0, 4.0);
}

TEST_F(ReconnectTest, SinkMissingAfterTheRestartStaysLostUntilItIsThere) {
    auto ch = tone("t.wav", 440.0, 5.0);
    ASSERT_TRUE(ch);
    ASSERT_NO_FATAL_FAILURE(killServer());
    ASSERT_TRUE(server.start({"other"}));
    std::this_thread::sleep_for(std::chrono::seconds(1)); // a few attempts find no sink
    EXPECT_EQ(engine->deviceProblem(1), Failure(EngineError::DeviceGone))
        << "not taken over by the sink that is device 1 now";
    EXPECT_EQ(ch->play(), Failure(EngineError::DeviceGone));
    EXPECT_EQ(engine->openDevice(1), Failure(EngineError::NoSuchDevice));

    server.addSink("lonely");
    EXPECT_TRUE(waitUntil([&] { return usable(); }, 2000))
        << "still tried, and back within 2 s of the sink";
    ASSERT_EQ(ch->play(), Failure());
    EXPECT_TRUE(waitUntil([&] { return ch->position() > Frames(0); }));
}

TEST_F(ReconnectTest, RepeatedServerDeathsLeakNoThreadsNorFiles) {
    auto ch = tone("t.wav", 440.0, 5.0);
    ASSERT_TRUE(ch);
    // Each death finds the channel on air.
    const auto dieAndReturn = [&] {
        ASSERT_EQ(ch->play(), Failure());
        ASSERT_NO_FATAL_FAILURE(killServer());
        ASSERT_TRUE(server.start({"lonely"}));
        ASSERT_TRUE(waitUntil([&] { return usable(); }, 2000));
    };
    // The first return may set up what the client library keeps for the whole process.
    ASSERT_NO_FATAL_FAILURE(dieAndReturn());
    const std::size_t threads = entriesIn("/proc/self/task");
    const std::size_t files = entriesIn("/proc/self/fd");
    for (int cycle = 0; cycle < 4; ++cycle) {
        ASSERT_NO_FATAL_FAILURE(dieAndReturn());
    }
    EXPECT_EQ(entriesIn("/proc/self/task"), threads);
    EXPECT_EQ(entriesIn("/proc/self/fd"), files);
}

} // namespace

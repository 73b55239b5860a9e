// A whole wall measured in the background while carts play: 96 different two-minute MP3s
// queued at once on the loudness worker (as after loading a profile), while 8 other carts play
// on one device and a ninth is fired every 400 ms. Counts server underruns and stalled polls
// of the playing carts, the trigger latency of the fired cart, and the longest turn of the
// user-interface loop, against the same wall playing for a minute without measuring before,
// in the same run.
//   loudness_wall [device]     default: device 1 if a sound server is there, else 0
#include "audio/engine/sound_engine.h"
#include "bench_util.h"
#include "carts/loudness_service.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <thread>

namespace {

constexpr int kWall = 96;
constexpr int kPlaying = 8;
constexpr int kSeconds = 120;
constexpr double kQuietSeconds = 60.0;

struct Run {
    double seconds = 0.0;
    int stalledPolls = 0;
    std::uint64_t underruns = 0;
    std::vector<double> triggerMs;
    double longestTurnMs = 0.0;
    double longestTurnAt = 0.0; // seconds into the run
};

using Channels = std::vector<std::unique_ptr<audio::engine::Channel>>;

std::int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Plays `playing` looped and fires `fired` every 400 ms while `busy()` holds, at least `least`
// seconds; the loop's own turns stand for the user-interface thread.
template <class Busy>
Run playWhile(audio::engine::SoundEngine& engine, int device, const Channels& playing,
              audio::engine::Channel& fired, double least, Busy busy) {
    Run run;
    const std::uint64_t underrunsBefore = engine.outputUnderruns(device);
    const double start = bench::now();
    double lastFire = 0.0;
    double lastTurn = start;
    while (busy() || bench::now() - start < least) {
        QCoreApplication::processEvents();
        engine.dispatchEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (const auto& channel : playing) {
            run.stalledPolls += channel->state() == audio::engine::ChannelState::Stalled ? 1 : 0;
        }
        const double now = bench::now();
        if (now - lastFire >= 0.4) {
            lastFire = now;
            fired.stop();
            fired.seek(audio::engine::Frames(0));
            const std::int64_t firedNs = monotonicNs();
            fired.play();
            std::int64_t startedNs = 0;
            while ((startedNs = fired.startedNs()) == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            run.triggerMs.push_back(double(startedNs - firedNs) / 1e6);
        }
        const double turnMs = (bench::now() - lastTurn) * 1e3 - 20.0;
        if (turnMs > run.longestTurnMs) {
            run.longestTurnMs = turnMs;
            run.longestTurnAt = bench::now() - start;
        }
        lastTurn = bench::now();
    }
    run.seconds = bench::now() - start;
    run.underruns = engine.outputUnderruns(device) - underrunsBefore;
    return run;
}

std::unique_ptr<audio::engine::Channel> openOrExit(audio::engine::SoundEngine& engine, int device,
                                                   const std::filesystem::path& file) {
    auto opened = engine.open(device, file.string());
    if (!opened) {
        std::printf("open %s failed: %d\n", file.c_str(), static_cast<int>(opened.error()));
        std::exit(1);
    }
    return opened.take();
}

void print(const char* what, const Run& run) {
    std::printf("%s: %.1f s, stalled polls %d, server underruns %llu, trigger p50 %.2f / p99 "
                "%.2f / max %.2f ms (%zu fired), longest loop turn beyond its 20 ms sleep "
                "%.1f ms (at %.1f s)\n",
                what, run.seconds, run.stalledPolls, static_cast<unsigned long long>(run.underruns),
                bench::percentile(run.triggerMs, 50), bench::percentile(run.triggerMs, 99),
                bench::percentile(run.triggerMs, 100), run.triggerMs.size(), run.longestTurnMs,
                run.longestTurnAt);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::filesystem::path> wall;
    for (int i = 0; i < kWall; ++i) {
        wall.push_back(
            bench::tone("wall" + std::to_string(kSeconds) + "_" + std::to_string(i) + ".mp3",
                        kSeconds, 150 + 41 * i, "-c:a libmp3lame -b:a 192k"));
    }
    auto engine = audio::engine::makeSoundEngine();
    const int device = argc > 1 ? std::atoi(argv[1]) : (engine->deviceDescription(1) ? 1 : 0);
    if (const audio::engine::Failure failed = engine->openDevice(device)) {
        std::printf("open %d failed: %d\n", device, static_cast<int>(*failed));
        return 1;
    }
    engine->setBufferLength(std::chrono::milliseconds(3000));
    Channels playing;
    for (int i = 0; i < kPlaying; ++i) {
        const auto file = bench::tone("onair" + std::to_string(i) + ".mp3", 30, 300 + 53 * i,
                                      "-c:a libmp3lame -b:a 192k");
        playing.push_back(openOrExit(*engine, device, file));
    }
    const auto shortFile = bench::tone("trigger.mp3", 1.0, 880, "-c:a libmp3lame -b:a 192k");
    const std::unique_ptr<audio::engine::Channel> fired = openOrExit(*engine, device, shortFile);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // let fresh streams settle
    for (const auto& channel : playing) {
        channel->setLoop(true);
        channel->play();
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));

    // The wall without measuring first, so the carts' start-up is not counted against it.
    const Run quiet =
        playWhile(*engine, device, playing, *fired, kQuietSeconds, [] { return false; });
    QTemporaryDir dir;
    carts::LoudnessService service(dir.filePath(QStringLiteral("bandoraloud.cache")));
    int answers = 0;
    QObject::connect(&service, &carts::LoudnessService::measured, [&] { ++answers; });
    for (const auto& f : wall) {
        service.measure(QString::fromStdString(f.string()));
    }
    const Run measuring =
        playWhile(*engine, device, playing, *fired, 0.0, [&] { return answers < kWall; });
    std::printf("device %d, %d carts playing, %d files of %d s measured: %d answers\n", device,
                kPlaying, kWall, kSeconds, answers);
    print("without measuring", quiet);
    print("while measuring", measuring);
}

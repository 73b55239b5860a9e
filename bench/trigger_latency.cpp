// Trigger latency: from the play call to the channel's first sample leaving the mixer, plus
// the latency the sound server reports for the output stream. 1000 triggers per device.
//   trigger_latency [device...]       default: 0 and 1 (1 needs a sound server)
#include "audio/engine/sound_engine.h"
#include "bench_util.h"

#include <thread>

namespace {

constexpr int kTriggers = 1000;

void measure(int device) {
    using namespace audio::engine;
    auto engine = makeSoundEngine();
    if (const Failure failed = engine->openDevice(device)) {
        std::printf("device %d: open failed (error %d)\n", device, static_cast<int>(*failed));
        return;
    }
    engine->setBufferLength(std::chrono::milliseconds(3000));
    const auto file = bench::tone("trigger.mp3", 1.0, 880, "-c:a libmp3lame -b:a 192k");
    Result<std::unique_ptr<Channel>> opened = engine->open(device, file.string());
    if (!opened) {
        std::printf("device %d: open %s failed (error %d)\n", device, file.c_str(),
                    static_cast<int>(opened.error()));
        return;
    }
    const std::unique_ptr<Channel> channel = opened.take();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // let a fresh stream settle
    std::vector<double> mixer, total;
    for (int i = 0; i < kTriggers; ++i) {
        channel->stop();
        channel->seek(Frames(0));
        engine->dispatchEvents();
        // Fire at a random point of the mixer's period, as an operator does.
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + (i * 7919) % 5000));
        const double server = engine->outputLatencySeconds(device);
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        const std::int64_t firedNs = std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
        channel->play();
        std::int64_t startedNs = 0;
        while ((startedNs = channel->startedNs()) == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const double firstPart = double(startedNs - firedNs) / 1e6;
        mixer.push_back(firstPart);
        total.push_back(firstPart + server * 1000.0);
    }
    std::printf(
        "device %d (%s): play -> first sample out of the mixer: p50 %.2f ms, p99 %.2f ms, "
        "max %.2f ms; plus server latency: p50 %.2f ms, p99 %.2f ms; underruns %llu; server "
        "buffer target at the end %u ms\n",
        device, engine->deviceDescription(device).value_or("?").c_str(),
        bench::percentile(mixer, 50), bench::percentile(mixer, 99), bench::percentile(mixer, 100),
        bench::percentile(total, 50), bench::percentile(total, 99),
        static_cast<unsigned long long>(engine->outputUnderruns(device)),
        engine->outputBufferMs(device));
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> devices;
    for (int i = 1; i < argc; ++i) {
        devices.push_back(std::atoi(argv[i]));
    }
    if (devices.empty()) {
        devices = {0, 1};
    }
    for (int device : devices) {
        measure(device);
    }
}

// Trigger latency: from the play call to the channel's first sample leaving the mixer, plus
// the latency the sound server reports for the output stream. 1000 triggers per device.
//   trigger_latency [device...]       default: 0 and 1 (1 needs a sound server)
#include "audio/engine/sound_engine.h"
#include "bench_util.h"

#include <thread>

namespace {

constexpr int kTriggers = 1000;

void measure(int device) {
    auto engine = audio::engine::makeSoundEngine();
    if (!engine->init(device, 44100, 0, nullptr)) {
        std::printf("device %d: init failed (error %d)\n", device, engine->lastError());
        return;
    }
    engine->setConfig(audio::kOptionBufferMs, 3000);
    const auto file = bench::tone("trigger.mp3", 1.0, 880, "-c:a libmp3lame -b:a 192k");
    const audio::StreamHandle h = engine->createFileStream(file.string(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // let a fresh stream settle
    std::vector<double> mixer, total;
    for (int i = 0; i < kTriggers; ++i) {
        engine->stop(h);
        engine->setPosition(h, 0);
        // Fire at a random point of the mixer's period, as an operator does.
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + (i * 7919) % 5000));
        const double server = engine->outputLatencySeconds(device);
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        const std::int64_t firedNs = std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
        engine->play(h, false);
        std::int64_t startedNs = 0;
        while ((startedNs = engine->playStartedNs(h)) == 0) {
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

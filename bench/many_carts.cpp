// A full wall: 96 stereo MP3 streams playing at once on one device for 60 s. CPU time of this
// process against ffmpeg decoding and mixing the same files (amix) to null, underruns, and the
// memory that 96 loaded and 96 playing streams add.
//   many_carts [device] [seconds]     default: device 1 if a sound server is there, else 0; 60 s
#include "audio/engine/sound_engine.h"
#include "bench_util.h"

#include <thread>

namespace {

constexpr int kCarts = 96;

std::vector<std::filesystem::path> wall(int seconds) {
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < kCarts; ++i) {
        const std::string name =
            "cart" + std::to_string(seconds) + "_" + std::to_string(i) + ".mp3";
        files.push_back(bench::tone(name, seconds + 5, 200 + 37 * i, "-c:a libmp3lame -b:a 192k"));
    }
    return files;
}

double ffmpegMixCpu(const std::vector<std::filesystem::path>& files, int seconds) {
    std::string cmd = "ffmpeg -nostdin -loglevel error -y";
    for (const auto& f : files) {
        cmd += " -t " + std::to_string(seconds) + " -i '" + f.string() + "'";
    }
    cmd += " -filter_complex amix=inputs=" + std::to_string(files.size()) + " -f null -";
    const double before = bench::cpuSeconds(RUSAGE_CHILDREN);
    bench::shell(cmd);
    return bench::cpuSeconds(RUSAGE_CHILDREN) - before;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const std::vector<std::filesystem::path> files = wall(seconds);
    auto engine = audio::engine::makeSoundEngine();
    int device = argc > 1 ? std::atoi(argv[1]) : (engine->deviceDescription(1) ? 1 : 0);
    if (!engine->init(device, 44100, 0, nullptr)) {
        std::printf("init %d failed: %d\n", device, engine->lastError());
        return 1;
    }
    engine->setConfig(audio::kOptionBufferMs, 3000); // the player's default buffer
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));

    const double rssStart = bench::residentMiB();
    std::vector<audio::StreamHandle> carts;
    for (const auto& f : files) {
        carts.push_back(engine->createFileStream(f.string(), 0));
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double rssLoaded = bench::residentMiB();

    const std::uint64_t underrunsBefore = engine->outputUnderruns(device);
    const double cpuStart = bench::cpuSeconds(RUSAGE_SELF);
    const double wallStart = bench::now();
    for (audio::StreamHandle h : carts) {
        engine->play(h, false);
    }
    int stalledPolls = 0;
    double rssPlaying = 0.0;
    while (bench::now() - wallStart < seconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (audio::StreamHandle h : carts) {
            stalledPolls += engine->isActive(h) == audio::kChannelStalled ? 1 : 0;
        }
        rssPlaying = std::max(rssPlaying, bench::residentMiB());
    }
    const double ourCpu = bench::cpuSeconds(RUSAGE_SELF) - cpuStart;
    int stillPlaying = 0;
    for (audio::StreamHandle h : carts) {
        stillPlaying += engine->isActive(h) == audio::kChannelPlaying ? 1 : 0;
    }
    const std::uint64_t underruns = engine->outputUnderruns(device) - underrunsBefore;
    for (audio::StreamHandle h : carts) {
        engine->freeStream(h);
    }
    engine.reset();
    const double ffmpegCpu = ffmpegMixCpu(files, seconds);

    std::printf("device %d, %d carts for %d s: CPU %.2f s, ffmpeg amix CPU %.2f s, ratio %.2f; "
                "stalled polls %d, server underruns while playing %llu, playing at the end %d\n",
                device, kCarts, seconds, ourCpu, ffmpegCpu, ourCpu / ffmpegCpu, stalledPolls,
                static_cast<unsigned long long>(underruns), stillPlaying);
    std::printf("memory: 96 loaded idle streams add %.1f MiB; 96 playing add %.1f MiB\n",
                rssLoaded - rssStart, rssPlaying - rssStart);
}

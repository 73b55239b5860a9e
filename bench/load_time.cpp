// Load time: creating a stream (with its exact length) for 10-minute files, against
// `ffprobe -count_packets` on the same file in the same run. Median of 5.
#include "audio/engine/sound_engine.h"
#include "bench_util.h"

namespace {

constexpr int kRuns = 5;

double ffprobeSeconds(const std::filesystem::path& file) {
    const double start = bench::now();
    bench::shell(
        "ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" +
        file.string() + "' >/dev/null");
    return bench::now() - start;
}

// Opening a channel (the stream with its exact length and first buffer); the channel is freed
// before returning. Negative when the file does not open.
double openSeconds(audio::engine::SoundEngine& engine, const std::filesystem::path& file,
                   double& lengthSeconds) {
    const double start = bench::now();
    auto opened = engine.open(audio::engine::SoundEngine::kNoSoundDevice, file.string());
    if (!opened) {
        std::fprintf(stderr, "%s: error %d\n", file.c_str(), static_cast<int>(opened.error()));
        return -1.0;
    }
    const audio::engine::Channel& channel = *opened.value();
    lengthSeconds = double(channel.length().count()) / channel.info().rate;
    return bench::now() - start;
}

} // namespace

int main() {
    struct Case {
        const char* label;
        std::filesystem::path file;
    };
    const Case cases[] = {
        {"VBR MP3 without Xing header",
         bench::tone("ten_vbr_noxing.mp3", 600, 440, "-c:a libmp3lame -q:a 4 -write_xing 0")},
        {"CBR MP3 128 kbit/s", bench::tone("ten_cbr.mp3", 600, 440, "-c:a libmp3lame -b:a 128k")},
        {"WMA v2 128 kbit/s", bench::tone("ten.wma", 600, 440, "-c:a wmav2 -b:a 128k")},
    };
    auto engine = audio::engine::makeSoundEngine();
    engine->openDevice(audio::engine::SoundEngine::kNoSoundDevice);
    engine->setBufferLength(std::chrono::milliseconds(3000));
    for (const Case& c : cases) {
        std::vector<double> ours, probe;
        double lengthSeconds = 0.0;
        for (int i = 0; i < kRuns; ++i) {
            const double seconds = openSeconds(*engine, c.file, lengthSeconds);
            if (seconds < 0) {
                std::printf("%s: open failed\n", c.label);
                return 1;
            }
            ours.push_back(seconds);
            probe.push_back(ffprobeSeconds(c.file));
        }
        const double a = bench::median(ours), b = bench::median(probe);
        std::printf(
            "%-28s stream %.1f ms (length %.3f s), ffprobe -count_packets %.1f ms, ratio %.2f\n",
            c.label, a * 1000, lengthSeconds, b * 1000, a / b);
    }
}

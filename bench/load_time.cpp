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

} // namespace

int main() {
    struct Case {
        const char* label;
        std::filesystem::path file;
        bool wma;
    };
    const Case cases[] = {
        {"VBR MP3 without Xing header",
         bench::tone("ten_vbr_noxing.mp3", 600, 440, "-c:a libmp3lame -q:a 4 -write_xing 0"),
         false},
        {"CBR MP3 128 kbit/s", bench::tone("ten_cbr.mp3", 600, 440, "-c:a libmp3lame -b:a 128k"),
         false},
        {"WMA v2 128 kbit/s", bench::tone("ten.wma", 600, 440, "-c:a wmav2 -b:a 128k"), true},
    };
    auto engine = audio::engine::makeSoundEngine();
    engine->init(0, 44100, 0, nullptr);
    engine->setConfig(audio::kOptionBufferMs, 3000);
    for (const Case& c : cases) {
        std::vector<double> ours, probe;
        std::uint64_t length = 0;
        for (int i = 0; i < kRuns; ++i) {
            const double start = bench::now();
            const audio::StreamHandle h = c.wma ? engine->createWmaStream(c.file.string(), 0)
                                                : engine->createFileStream(c.file.string(), 0);
            length = engine->length(h);
            ours.push_back(bench::now() - start);
            engine->freeStream(h);
            probe.push_back(ffprobeSeconds(c.file));
        }
        const double a = bench::median(ours), b = bench::median(probe);
        std::printf(
            "%-28s stream %.1f ms (length %.3f s), ffprobe -count_packets %.1f ms, ratio %.2f\n",
            c.label, a * 1000, double(length) / 4 / 44100, b * 1000, a / b);
    }
}

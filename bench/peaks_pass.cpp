// Waveform peaks taken from the loudness pass: the time of measuring a ten-minute MP3 with the
// peaks builder watching the decode against the same measurement without it, alternating in one
// run so both see the same machine load. Target: at most 10 % more.
//   peaks_pass [runs]          default 7
#include "audio/loudness_meter.h"
#include "bench_util.h"
#include "carts/peaks.h"

namespace {

// Programme-like material: a chord under a slow envelope with pink noise.
constexpr const char* kSource =
    "aevalsrc='(0.3*sin(2*PI*220*t+2*sin(2*PI*5*t))+0.2*sin(2*PI*277*t))"
    "*(0.55+0.45*sin(2*PI*0.05*t))|(0.3*sin(2*PI*221*t)+0.2*sin(2*PI*331*t))"
    "*(0.55+0.45*cos(2*PI*0.07*t))':s=44100:d=600[m];anoisesrc=c=pink:a=0.08:d=600:r=44100,"
    "pan=stereo|c0=c0|c1=c0[n];[m][n]amix=inputs=2:normalize=0";

std::filesystem::path tenMinuteMp3() {
    const std::filesystem::path file = bench::mediaDir() / "music_600s.mp3";
    if (!std::filesystem::exists(file)) {
        const std::string cmd = std::string("ffmpeg -nostdin -loglevel error -y -f lavfi -i \"") +
                                kSource + "\" -c:a libmp3lame -b:a 192k '" + file.string() + "'";
        if (bench::shell(cmd) != 0) {
            std::fprintf(stderr, "could not make %s\n", file.c_str());
            std::exit(1);
        }
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string file = tenMinuteMp3().string();
    const std::atomic<bool> cancel{false};
    audio::LoudnessMeter meter; // one meter for both, as the loudness worker keeps one
    std::vector<double> plain;
    std::vector<double> withPeaks;
    std::size_t buckets = 0;
    meter.measure(file, cancel); // warm the file cache and the meter's buffers
    const auto timePlain = [&] {
        const double start = bench::now();
        meter.measure(file, cancel);
        plain.push_back(bench::now() - start);
    };
    const auto timeWithPeaks = [&] {
        carts::PeaksBuilder builder;
        const double start = bench::now();
        meter.measure(file, cancel, &builder);
        const carts::Peaks peaks = builder.take();
        withPeaks.push_back(bench::now() - start);
        buckets = peaks.low.size();
    };
    // Each goes first in every other pair, so neither gains from the order.
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            timePlain();
            timeWithPeaks();
        } else {
            timeWithPeaks();
            timePlain();
        }
    }
    const double a = bench::median(plain);
    const double b = bench::median(withPeaks);
    std::printf("10-minute MP3, %d runs: loudness pass %.1f ms, with peaks %.1f ms, ratio %.3f "
                "(target <= 1.10); %zu buckets of %d frames, %.0f KB cached\n",
                runs, a * 1e3, b * 1e3, b / a, buckets, carts::kFramesPerPeak,
                double(buckets) * 4.0 / 1024.0);
    return b / a <= 1.10 ? 0 : 1;
}

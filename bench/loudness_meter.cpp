// Loudness measurement (integrated loudness and true peak) of one file against
// `ffmpeg -i FILE -af ebur128=peak=true -f null -` on the same file in the same run: time
// (median of 5, ffmpeg timed as a whole process, as it is used) and the integrated loudness
// of both. A three-minute real-encoder MP3 for the time; tones, noise, a mono voice-like MP3
// and WMA for the figures.
//   loudness_meter [runs]          the fixed media below
//   loudness_meter 1 FILE...        those files instead
#include "audio/loudness_meter.h"
#include "bench_util.h"

#include <array>
#include <cmath>
#include <memory>

namespace {

struct Media {
    const char* name;
    const char* source; // ffmpeg lavfi graph
    const char* options;
    bool dualMono; // a mono file plays on both sides; ffmpeg measures it so with dualmono
};

// Programme-like material: a chord with vibrato and pink noise under a slow level envelope,
// so the gating has loud and quiet passages to work on.
constexpr const char* kMusic =
    "aevalsrc='(0.3*sin(2*PI*220*t+2*sin(2*PI*5*t))+0.2*sin(2*PI*277*t)+0.15*sin(2*PI*330*t))"
    "*(0.55+0.45*sin(2*PI*0.05*t))|(0.3*sin(2*PI*221*t)+0.2*sin(2*PI*331*t+sin(2*PI*3*t)))"
    "*(0.55+0.45*cos(2*PI*0.07*t))':s=44100:d=180[m];anoisesrc=c=pink:a=0.08:d=180:r=44100,"
    "pan=stereo|c0=c0|c1=c0[n];[m][n]amix=inputs=2:normalize=0";

constexpr std::array<Media, 5> kMedia{{
    {"loud_music_180s.mp3", kMusic, "-c:a libmp3lame -b:a 192k", false},
    {"tone_1k_-20dbfs.wav", "aevalsrc='0.1*sin(2*PI*1000*t)|0.1*sin(2*PI*1000*t)':s=48000:d=30",
     "-c:a pcm_s16le", false},
    {"pink_noise.wav", "anoisesrc=c=pink:a=0.3:d=30:r=44100", "-ac 2 -c:a pcm_s16le", false},
    {"voice_mono.mp3",
     "aevalsrc='0.4*sin(2*PI*180*t+3*sin(2*PI*4*t))*(0.5+0.5*sin(2*PI*2*t))':s=22050:d=30",
     "-c:a libmp3lame -b:a 64k", true},
    {"music_wma2.wma", kMusic, "-t 60 -c:a wmav2 -b:a 128k", false},
}};

std::filesystem::path make(const Media& m) {
    const std::filesystem::path file = bench::mediaDir() / m.name;
    if (!std::filesystem::exists(file)) {
        const std::string cmd = std::string("ffmpeg -nostdin -loglevel error -y -f lavfi -i \"") +
                                m.source + "\" " + m.options + " '" + file.string() + "'";
        if (bench::shell(cmd) != 0) {
            std::fprintf(stderr, "could not make %s\n", file.c_str());
            std::exit(1);
        }
    }
    return file;
}

struct Figures {
    double integrated = NAN;
    double truePeak = NAN;
};

// ffmpeg's summary: "I:         -23.0 LUFS" ... "Peak:      -3.7 dBFS".
Figures ffmpegFigures(const std::filesystem::path& file, bool dualMono, double& seconds) {
    const std::string cmd = "ffmpeg -nostdin -hide_banner -nostats -i '" + file.string() +
                            "' -af ebur128=peak=true" + (dualMono ? ":dualmono=true" : "") +
                            " -f null - 2>&1";
    const double start = bench::now();
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    Figures figures;
    std::array<char, 512> line{};
    while (pipe && fgets(line.data(), line.size(), pipe.get())) {
        double value = 0.0;
        if (std::sscanf(line.data(), " I: %lf LUFS", &value) == 1) {
            figures.integrated = value; // the last one is the summary's
        } else if (std::sscanf(line.data(), " Peak: %lf dBFS", &value) == 1) {
            figures.truePeak = value;
        }
    }
    pipe.reset();
    seconds = bench::now() - start;
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::atomic<bool> cancel{false};
    std::vector<std::pair<std::filesystem::path, Media>> files;
    for (int i = 2; i < argc; ++i) {
        files.emplace_back(argv[i], Media{argv[i], "", "", false});
    }
    if (files.empty()) {
        for (const Media& m : kMedia) {
            files.emplace_back(make(m), m);
        }
    }
    for (const auto& [file, m] : files) {
        std::vector<double> ours;
        std::vector<double> theirs;
        audio::Loudness loudness;
        Figures ffmpeg;
        for (int run = 0; run < runs; ++run) {
            const double start = bench::now();
            loudness = audio::measureLoudness(file.string(), cancel).value_or(audio::Loudness{});
            ours.push_back(bench::now() - start);
            double seconds = 0.0;
            ffmpeg = ffmpegFigures(file, m.dualMono, seconds);
            theirs.push_back(seconds);
        }
        const double a = bench::median(ours);
        const double b = bench::median(theirs);
        std::printf("%-22s ours %7.1f ms, ffmpeg %7.1f ms, ratio %.2f; integrated %.2f vs %.2f "
                    "LUFS (diff %.2f LU); true peak %.2f vs %.1f dBTP\n",
                    m.name, a * 1e3, b * 1e3, a / b, loudness.integratedLufs, ffmpeg.integrated,
                    loudness.integratedLufs - ffmpeg.integrated, loudness.truePeakDbtp,
                    ffmpeg.truePeak);
    }
}

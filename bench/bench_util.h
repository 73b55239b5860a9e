#pragma once
// Small helpers shared by the benchmark programs: media made with the ffmpeg command line,
// clocks, CPU time, resident memory, thread count, percentiles.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace bench {

inline std::filesystem::path mediaDir() {
    const char* env = std::getenv("BANDORA_BENCH_MEDIA");
    std::filesystem::path dir = env ? env : "build/bench-media";
    std::filesystem::create_directories(dir);
    return dir;
}

inline int shell(const std::string& command) {
    return std::system(command.c_str());
}

// A sine tone made by ffmpeg with the given encoder options; kept between runs.
inline std::filesystem::path tone(const std::string& name, double seconds, int hz,
                                  const std::string& options) {
    const std::filesystem::path file = mediaDir() / name;
    if (!std::filesystem::exists(file)) {
        const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                "\"sine=frequency=" +
                                std::to_string(hz) +
                                ":sample_rate=44100:duration=" + std::to_string(seconds) +
                                "\" -ac 2 " + options + " '" + file.string() + "'";
        if (shell(cmd) != 0) {
            std::fprintf(stderr, "could not make %s\n", file.c_str());
            std::exit(1);
        }
    }
    return file;
}

inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Threads of this process now: the entries of /proc/self/task.
inline int threadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p / 100.0 * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double median(std::vector<double> values) {
    return percentile(std::move(values), 50.0);
}

} // namespace bench

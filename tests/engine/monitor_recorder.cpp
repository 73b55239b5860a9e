#include "monitor_recorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace enginetest {

pid_t spawnProcess(std::vector<std::string> args, const std::vector<std::string>& extraEnv) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e) {
        env.emplace_back(*e); // the first definition of a name wins
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int r = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&quiet);
    return r == 0 ? pid : -1;
}

void endProcess(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGINT);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

MonitorRecorder::MonitorRecorder(const std::string& sink, std::filesystem::path file,
                                 std::uint32_t rate)
    : file_(std::move(file)) {
    pid_ = spawnProcess({"parec", "--device=" + sink + ".monitor", "--format=float32le",
                         "--rate=" + std::to_string(rate), "--channels=2", "--raw",
                         "--process-time-msec=10", file_.string()});
}

MonitorRecorder::~MonitorRecorder() {
    stop();
}

void MonitorRecorder::stop() {
    endProcess(pid_);
    pid_ = -1;
}

std::uint64_t MonitorRecorder::framesRecorded() const {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file_, ec);
    return ec ? 0 : size / 8;
}

bool MonitorRecorder::waitFrames(std::uint64_t frames, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (framesRecorded() < frames) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<float> MonitorRecorder::finish() {
    stop();
    std::ifstream in(file_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / 8 * 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

Span loudSpan(const std::vector<float>& stereo, int ch, float threshold) {
    Span span;
    for (std::size_t i = 0; i * 2 + 1 < stereo.size(); ++i) {
        if (std::abs(stereo[i * 2 + static_cast<std::size_t>(ch)]) > threshold) {
            span.first = span.found ? span.first : i;
            span.last = i;
            span.found = true;
        }
    }
    return span;
}

namespace {

// Digital silence this long inside a tone is the sound server playing nothing while the
// client ran dry, never a sample of the tone.
constexpr std::size_t kDropoutRunFrames = 16;
constexpr float kSilence = 1e-5f;

} // namespace

std::size_t dropoutFrames(const std::vector<float>& stereo, int ch, Span span) {
    const auto c = static_cast<std::size_t>(ch);
    std::size_t dropouts = 0;
    std::size_t run = 0;
    for (std::size_t i = span.first; i <= span.last && i * 2 + c < stereo.size(); ++i) {
        run = std::abs(stereo[i * 2 + c]) < kSilence ? run + 1 : 0;
        dropouts +=
            run == kDropoutRunFrames ? kDropoutRunFrames : (run > kDropoutRunFrames ? 1 : 0);
    }
    return dropouts;
}

double zeroCrossingHz(const std::vector<float>& stereo, int ch, Span span, std::uint32_t rate) {
    std::size_t crossings = 0;
    const auto c = static_cast<std::size_t>(ch);
    bool negative = stereo[span.first * 2 + c] < 0.0f;
    for (std::size_t i = span.first + 1; i <= span.last; ++i) {
        const float sample = stereo[i * 2 + c];
        if (std::abs(sample) >= kSilence && (sample < 0.0f) != negative) {
            negative = !negative; // a dropout's silence is no crossing
            ++crossings;
        }
    }
    const double seconds = double(span.last - span.first - dropoutFrames(stereo, ch, span)) / rate;
    return seconds > 0 ? crossings / 2.0 / seconds : 0.0;
}

float peakIn(const std::vector<float>& stereo, int ch, std::size_t from, std::size_t to) {
    float peak = 0.0f;
    for (std::size_t i = from; i < to && i * 2 + 1 < stereo.size(); ++i) {
        peak = std::max(peak, std::abs(stereo[i * 2 + static_cast<std::size_t>(ch)]));
    }
    return peak;
}

} // namespace enginetest

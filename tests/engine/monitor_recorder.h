#pragma once
// Records what a PulseAudio sink plays, through `parec` on the sink's monitor, as float stereo.

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace enginetest {

class MonitorRecorder {
public:
    MonitorRecorder(const std::string& sink, std::filesystem::path file, std::uint32_t rate);
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    std::uint64_t framesRecorded() const;
    // Waits until at least `frames` frames are on disk; false after `timeoutMs`.
    bool waitFrames(std::uint64_t frames, int timeoutMs = 5000) const;
    // Stops parec and returns the recording (interleaved stereo).
    std::vector<float> finish();

private:
    void stop();
    std::filesystem::path file_;
    pid_t pid_ = -1;
};

// Starts a program (searched in PATH), with `extraEnv` ("NAME=value") added to this process's
// environment and its output discarded, and ends it with SIGINT.
pid_t spawnProcess(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {});
void endProcess(pid_t pid);

// Analysis of a stereo recording, channel `ch`.
struct Span {
    std::size_t first = 0; // first frame above the threshold
    std::size_t last = 0;  // last frame above it
    bool found = false;
};
Span loudSpan(const std::vector<float>& stereo, int ch, float threshold = 0.05f);
// Frames of the span inside runs of digital silence: where the server played nothing because
// the output ran dry (an underrun on a busy machine), which stretches the recording.
std::size_t dropoutFrames(const std::vector<float>& stereo, int ch, Span span);
// The pitch over the span's sounding frames (dropouts left out).
double zeroCrossingHz(const std::vector<float>& stereo, int ch, Span span, std::uint32_t rate);
float peakIn(const std::vector<float>& stereo, int ch, std::size_t from, std::size_t to);

} // namespace enginetest

#pragma once
// Measures a file's loudness (EBU R128 integrated loudness and true peak) with the sound
// layer's own decoder, at the file's own rate and as the file plays: a mono file counts on
// both sides, as it sounds on air.
//
// Blocking and CPU-bound (a three-minute MP3 takes a fraction of a second): use it on a
// worker thread, never on the user-interface or a mixing thread. One meter serves one thread;
// it keeps its buffers from file to file, so measuring a whole wall allocates next to nothing.
#include "audio/loudness.h"
#include "audio/true_peak.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// Sees the audio a measurement decodes, so other figures of a file (its waveform) come from
// the same single decode. Called on the measuring thread.
class DecodeObserver {
public:
    virtual ~DecodeObserver() = default;
    // Before the first frames: the file's own rate and its length in frames.
    virtual void begin(std::uint32_t rate, std::uint64_t lengthFrames) = 0;
    // Interleaved stereo frames in file order, in blocks of up to a second or two.
    virtual void frames(const float* stereo, std::size_t count) = 0;
};

class LoudnessMeter {
public:
    // `path` holds the file name's bytes. nullopt when the file cannot be opened or decoded,
    // or when `cancel` became true meanwhile.
    std::optional<Loudness> measure(const std::string& path, const std::atomic<bool>& cancel,
                                    DecodeObserver* observer = nullptr);

private:
    std::vector<float> frames_;
    TruePeakMeter truePeak_;
};

// One file with a meter of its own.
std::optional<Loudness> measureLoudness(const std::string& path, const std::atomic<bool>& cancel);

} // namespace audio

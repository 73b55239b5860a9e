#pragma once
// True peak of a stereo signal after ITU-R BS.1770: the largest magnitude of the signal
// oversampled four times, so a crest that falls between two samples counts.
//
// The oversampling is a polyphase windowed-sinc interpolator of 12 taps per phase. Phase 0
// is the samples themselves, so the true peak is never below the sample peak. Written as
// plain loops over contiguous blocks so the compiler vectorises them: this is the costly
// part of a loudness measurement.
#include <array>
#include <cstddef>
#include <vector>

namespace audio {

class TruePeakMeter {
public:
    static constexpr std::size_t kPhases = 4;
    static constexpr std::size_t kTaps = 12;

    TruePeakMeter();

    // Interleaved stereo frames, in the order they play.
    void add(const float* stereo, std::size_t frames);
    // The signal has ended: the crests between its last samples count too.
    void finish();
    // Ready for another signal, keeping the buffers.
    void reset();
    // Linear magnitude; 0 for silence.
    float peak() const { return peak_; }

private:
    void addChannel(std::vector<float>& samples);

    std::array<std::array<float, kTaps>, kPhases> coefficients_{};
    // Per channel: the last kTaps - 1 samples of the previous block, then the current block.
    std::array<std::vector<float>, 2> channels_;
    std::vector<float> sums_; // one phase's interpolated values for a block
    float peak_ = 0.0f;
};

} // namespace audio

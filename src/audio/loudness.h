#pragma once
// Loudness of a file after EBU R128 (integrated loudness and true peak) and the gain that plays
// it at a target loudness without letting its true peak rise above kMaxTruePeakDbtp.
#include <cmath>
#include <limits>

namespace audio {

inline constexpr double kMaxTruePeakDbtp = -1.0;
// A file far below the target is not raised further than this: beyond it lies more noise
// than programme (and the sound layer's stream gain ends at +24 dB).
inline constexpr double kMaxNormalisationGainDb = 24.0;

struct Loudness {
    // -inf for silence and for audio shorter than one 400 ms gating block.
    double integratedLufs = -std::numeric_limits<double>::infinity();
    double truePeakDbtp = -std::numeric_limits<double>::infinity(); // -inf for silence
    bool hasLoudness() const { return std::isfinite(integratedLufs); }
    bool operator==(const Loudness&) const = default;
};

// target - measured, lowered so that the true peak stays at or below kMaxTruePeakDbtp and to
// at most kMaxNormalisationGainDb; 0 dB (unity) for a file without loudness.
double normalisationGainDb(const Loudness& loudness, double targetLufs);

inline float linearGain(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

} // namespace audio

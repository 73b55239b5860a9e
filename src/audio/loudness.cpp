#include "audio/loudness.h"

#include <algorithm>

namespace audio {

double normalisationGainDb(const Loudness& loudness, double targetLufs) {
    if (!loudness.hasLoudness()) {
        return 0.0;
    }
    const double toTarget = std::min(targetLufs - loudness.integratedLufs, kMaxNormalisationGainDb);
    if (!std::isfinite(loudness.truePeakDbtp)) {
        return toTarget;
    }
    return std::min(toTarget, kMaxTruePeakDbtp - loudness.truePeakDbtp);
}

} // namespace audio

#include "audio/loudness_meter.h"

#include "audio/engine/media_source.h"

#include <ebur128.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace audio {

namespace {

// Frames handed to the meter at once: large blocks keep its per-call overhead small.
constexpr std::size_t kFeedFrames = 65536;
constexpr unsigned kChannels = 2; // the decoder delivers stereo

struct MeterDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, MeterDeleter>;

bool feed(ebur128_state* meter, std::vector<float>& frames) {
    const bool ok =
        frames.empty() ||
        ebur128_add_frames_float(meter, frames.data(), frames.size() / kChannels) == EBUR128_SUCCESS;
    frames.clear();
    return ok;
}

double truePeakDbtp(ebur128_state* meter) {
    double peak = 0.0;
    for (unsigned ch = 0; ch < kChannels; ++ch) {
        double value = 0.0;
        if (ebur128_true_peak(meter, ch, &value) == EBUR128_SUCCESS) {
            peak = std::max(peak, value);
        }
    }
    return 20.0 * std::log10(peak); // -inf for silence
}

} // namespace

std::optional<Loudness> measureLoudness(const std::string& path, const std::atomic<bool>& cancel) {
    int error = 0;
    auto source =
        engine::MediaSource::open(path, false, engine::MediaSource::kSourceRate, error);
    if (!source) {
        return std::nullopt;
    }
    // Integrated loudness and true peak only: momentary, short-term and range would cost
    // time that nothing here needs.
    Meter meter(ebur128_init(kChannels, source->format().rate,
                             EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
    if (!meter) {
        return std::nullopt;
    }
    std::vector<float> frames;
    frames.reserve((kFeedFrames + 8192) * kChannels);
    bool more = true;
    while (more) {
        more = source->decode(frames);
        if (cancel.load(std::memory_order_relaxed)) {
            return std::nullopt;
        }
        if ((frames.size() >= kFeedFrames * kChannels || !more) && !feed(meter.get(), frames)) {
            return std::nullopt;
        }
    }
    Loudness loudness;
    if (double lufs = 0.0; ebur128_loudness_global(meter.get(), &lufs) == EBUR128_SUCCESS) {
        loudness.integratedLufs = lufs;
    }
    loudness.truePeakDbtp = truePeakDbtp(meter.get());
    return loudness;
}

} // namespace audio

#include "audio/loudness_meter.h"

#include "audio/engine/media_source.h"
#include "audio/true_peak.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
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

struct Meters {
    Meter loudness;
    TruePeakMeter truePeak;

    bool feed(std::vector<float>& frames) {
        const std::size_t count = frames.size() / kChannels;
        truePeak.add(frames.data(), count);
        const bool ok = count == 0 || ebur128_add_frames_float(loudness.get(), frames.data(),
                                                               count) == EBUR128_SUCCESS;
        frames.clear();
        return ok;
    }
};

} // namespace

std::optional<Loudness> measureLoudness(const std::string& path, const std::atomic<bool>& cancel) {
    int error = 0;
    auto source = engine::MediaSource::open(path, false, engine::MediaSource::kSourceRate, error);
    if (!source) {
        return std::nullopt;
    }
    // Integrated loudness only: momentary, short-term and range would cost time that nothing
    // here needs, and libebur128's own true peak is several times slower than ours.
    Meters meters{Meter(ebur128_init(kChannels, source->format().rate, EBUR128_MODE_I)), {}};
    if (!meters.loudness) {
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
        if ((frames.size() >= kFeedFrames * kChannels || !more) && !meters.feed(frames)) {
            return std::nullopt;
        }
    }
    meters.truePeak.finish();
    Loudness loudness;
    if (double lufs = 0.0;
        ebur128_loudness_global(meters.loudness.get(), &lufs) == EBUR128_SUCCESS) {
        loudness.integratedLufs = lufs;
    }
    loudness.truePeakDbtp = 20.0 * std::log10(static_cast<double>(meters.truePeak.peak()));
    return loudness;
}

} // namespace audio

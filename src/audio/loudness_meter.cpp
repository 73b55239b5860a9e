#include "audio/loudness_meter.h"

#include "audio/engine/media_source.h"

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

bool feed(ebur128_state* meter, const std::vector<float>& frames) {
    const std::size_t count = frames.size() / kChannels;
    return count == 0 || ebur128_add_frames_float(meter, frames.data(), count) == EBUR128_SUCCESS;
}

} // namespace

std::optional<Loudness> LoudnessMeter::measure(const std::string& path,
                                               const std::atomic<bool>& cancel,
                                               DecodeObserver* observer) {
    engine::Failure error;
    auto source = engine::MediaSource::open(path, false, engine::MediaSource::kSourceRate, error);
    if (!source) {
        return std::nullopt;
    }
    // Integrated loudness only: momentary, short-term and range would cost time that nothing
    // here needs, and libebur128's own true peak is several times slower than ours.
    const Meter meter(ebur128_init(kChannels, source->format().rate, EBUR128_MODE_I));
    if (!meter) {
        return std::nullopt;
    }
    if (observer) {
        observer->begin(source->format().rate, source->format().lengthFrames);
    }
    truePeak_.reset();
    frames_.clear();
    frames_.reserve((kFeedFrames + 8192) * kChannels);
    bool more = true;
    while (more) {
        more = source->decode(frames_);
        if (cancel.load(std::memory_order_relaxed)) {
            return std::nullopt;
        }
        if (frames_.size() >= kFeedFrames * kChannels || !more) {
            truePeak_.add(frames_.data(), frames_.size() / kChannels);
            if (observer) {
                observer->frames(frames_.data(), frames_.size() / kChannels);
            }
            if (!feed(meter.get(), frames_)) {
                return std::nullopt;
            }
            frames_.clear();
        }
    }
    truePeak_.finish();
    Loudness loudness;
    if (double lufs = 0.0; ebur128_loudness_global(meter.get(), &lufs) == EBUR128_SUCCESS) {
        loudness.integratedLufs = lufs;
    }
    loudness.truePeakDbtp = 20.0 * std::log10(static_cast<double>(truePeak_.peak()));
    return loudness;
}

std::optional<Loudness> measureLoudness(const std::string& path, const std::atomic<bool>& cancel) {
    return LoudnessMeter().measure(path, cancel);
}

} // namespace audio

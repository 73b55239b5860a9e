#include "declick_tails.h"

#include <algorithm>

namespace audio::engine {

DeclickTails::DeclickTails(std::size_t voices, std::size_t framesPerTail)
    : framesPerTail_(framesPerTail), voices_(voices), samples_(voices * framesPerTail * 2),
      reserved_(voices) {}

float* DeclickTails::reserve() {
    const auto free =
        std::find_if(voices_.begin(), voices_.end(), [](const Voice& v) { return !v.sounding(); });
    if (free == voices_.end() || framesPerTail_ == 0) {
        reserved_ = voices_.size();
        return nullptr;
    }
    reserved_ = static_cast<std::size_t>(free - voices_.begin());
    return &samples_[reserved_ * framesPerTail_ * 2];
}

// A linear fall that reaches zero one frame after the last: the largest step it adds to the
// waveform is 1/(frames+1) of full scale.
void DeclickTails::start(const void* owner, std::size_t frames) {
    if (reserved_ >= voices_.size()) {
        return;
    }
    frames = std::min(frames, framesPerTail_);
    float* data = &samples_[reserved_ * framesPerTail_ * 2];
    const auto steps = static_cast<float>(frames + 1);
    for (std::size_t k = 0; k < frames; ++k) {
        const float gain = static_cast<float>(frames - k) / steps;
        data[k * 2] *= gain;
        data[k * 2 + 1] *= gain;
    }
    voices_[reserved_] = Voice{owner, frames, 0};
    reserved_ = voices_.size();
}

std::size_t DeclickTails::remainingFor(const void* owner) const {
    for (const Voice& v : voices_) {
        if (v.sounding() && v.owner == owner) {
            return v.length - v.played;
        }
    }
    return 0;
}

void DeclickTails::forget(const void* owner) {
    for (Voice& v : voices_) {
        if (v.owner == owner) {
            v.owner = nullptr;
        }
    }
}

void DeclickTails::mixInto(float* out, std::size_t frames) {
    for (std::size_t i = 0; i < voices_.size(); ++i) {
        Voice& v = voices_[i];
        if (!v.sounding()) {
            continue;
        }
        const float* data = &samples_[(i * framesPerTail_ + v.played) * 2];
        const std::size_t n = std::min(frames, v.length - v.played);
        for (std::size_t k = 0; k < n * 2; ++k) {
            out[k] += data[k];
        }
        v.played += n;
    }
}

void DeclickTails::clear() {
    for (Voice& v : voices_) {
        v = Voice{};
    }
}

} // namespace audio::engine

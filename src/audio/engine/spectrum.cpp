#include "spectrum.h"

#include <kiss_fftr.h>

#include <cmath>
#include <numbers>

namespace audio::engine {

Spectrum::Spectrum() : config_(kiss_fftr_alloc(kSize, 0, nullptr, nullptr)) {
    for (std::size_t i = 0; i < kSize; ++i) {
        window_[i] = 0.5f - 0.5f * std::cos(2.0f * std::numbers::pi_v<float> *
                                            static_cast<float>(i) / static_cast<float>(kSize));
    }
}

Spectrum::~Spectrum() {
    kiss_fftr_free(config_);
}

void Spectrum::compute(const std::array<float, kSize>& samples, float* magnitudes) {
    std::array<float, kSize> windowed{};
    for (std::size_t i = 0; i < kSize; ++i) {
        windowed[i] = samples[i] * window_[i];
    }
    std::array<kiss_fft_cpx, kBins + 1> bins{};
    kiss_fftr(config_, windowed.data(), bins.data());
    // A sine of amplitude A gives |X| = A * N / 4 through a Hann window.
    constexpr float scale = 4.0f / static_cast<float>(kSize);
    for (std::size_t k = 0; k < kBins; ++k) {
        magnitudes[k] = std::hypot(bins[k].r, bins[k].i) * scale;
    }
}

} // namespace audio::engine

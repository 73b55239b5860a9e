#pragma once
// 512-point magnitude spectrum for the level meters: Hann window, magnitudes scaled so that a
// full-scale sine gives about 1.0 in its bin.

#include <array>
#include <cstddef>

struct kiss_fftr_state;

namespace audio::engine {

class Spectrum {
public:
    static constexpr std::size_t kSize = 512;
    static constexpr std::size_t kBins = kSize / 2;

    Spectrum();
    ~Spectrum();
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    void compute(const std::array<float, kSize>& samples, float* magnitudes);

private:
    kiss_fftr_state* config_;
    std::array<float, kSize> window_{};
};

} // namespace audio::engine

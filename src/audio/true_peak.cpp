#include "audio/true_peak.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace audio {

namespace {

constexpr double kHalfSpan = TruePeakMeter::kTaps / 2.0; // the window reaches 6 samples out

double windowedSinc(double t) {
    if (std::abs(t) >= kHalfSpan) {
        return 0.0;
    }
    const double sinc = t == 0.0 ? 1.0 : std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
    const double hann = 0.5 * (1.0 + std::cos(std::numbers::pi * t / kHalfSpan));
    return sinc * hann;
}

float largestMagnitude(const float* values, std::size_t count) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        largest = std::max(largest, std::abs(values[i]));
    }
    return largest;
}

} // namespace

TruePeakMeter::TruePeakMeter() {
    // Phase p interpolates at p/4 of the way from sample 5 to sample 6 of its 12 taps. Each
    // phase is scaled to a DC gain of exactly 1, so a constant reads as itself.
    for (std::size_t p = 1; p < kPhases; ++p) {
        const double offset = static_cast<double>(p) / kPhases;
        double sum = 0.0;
        std::array<double, kTaps> h{};
        for (std::size_t k = 0; k < kTaps; ++k) {
            h[k] = windowedSinc(offset + (kTaps / 2 - 1) - static_cast<double>(k));
            sum += h[k];
        }
        for (std::size_t k = 0; k < kTaps; ++k) {
            coefficients_[p][k] = static_cast<float>(h[k] / sum);
        }
    }
    reset();
}

void TruePeakMeter::reset() {
    for (std::vector<float>& channel : channels_) {
        channel.assign(kTaps - 1, 0.0f);
    }
    peak_ = 0.0f;
}

void TruePeakMeter::add(const float* stereo, std::size_t frames) {
    if (frames == 0) {
        return;
    }
    for (std::size_t ch = 0; ch < channels_.size(); ++ch) {
        std::vector<float>& samples = channels_[ch];
        samples.resize(kTaps - 1 + frames);
        for (std::size_t i = 0; i < frames; ++i) {
            samples[kTaps - 1 + i] = stereo[i * 2 + ch];
        }
        addChannel(samples);
        std::copy(samples.end() - (kTaps - 1), samples.end(), samples.begin());
        samples.resize(kTaps - 1);
    }
}

void TruePeakMeter::finish() {
    const std::array<float, kTaps * 2> silence{};
    add(silence.data(), kTaps);
}

void TruePeakMeter::addChannel(std::vector<float>& samples) {
    const std::size_t outputs = samples.size() - (kTaps - 1);
    peak_ = std::max(peak_, largestMagnitude(samples.data() + kTaps - 1, outputs));
    sums_.resize(outputs);
    for (std::size_t p = 1; p < kPhases; ++p) {
        std::fill(sums_.begin(), sums_.end(), 0.0f);
        float* sums = sums_.data();
        for (std::size_t k = 0; k < kTaps; ++k) {
            const float c = coefficients_[p][k];
            const float* x = samples.data() + k;
            for (std::size_t n = 0; n < outputs; ++n) {
                sums[n] += c * x[n];
            }
        }
        peak_ = std::max(peak_, largestMagnitude(sums, outputs));
    }
}

} // namespace audio

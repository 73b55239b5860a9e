#pragma once
// Conversions the engine's parts share. Safe on any thread, the mixing thread included: no
// lock, no allocation.

#include <cstdint>
#include <ctime>

namespace audio::engine {

// Monotonic time in nanoseconds (the clock std::chrono::steady_clock reads on Linux).
inline std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Frames in `ms` milliseconds at `rate`, rounded down; 64-bit, so no product overflows.
inline std::uint64_t framesForMs(std::uint64_t ms, std::uint32_t rate) {
    return ms * rate / 1000;
}

} // namespace audio::engine

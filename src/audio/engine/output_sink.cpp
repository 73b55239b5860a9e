#include "output_sink.h"

#include "engine_units.h"
#include "mixer.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>

namespace audio::engine {

void raiseToRealtime() {
    sched_param param{};
    param.sched_priority = 10; // modest: above normal work, below the kernel's own
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

ClockSink::ClockSink(std::uint32_t rate) : rate_(rate) {}

ClockSink::~ClockSink() {
    stop();
}

bool ClockSink::start(Mixer& mixer) {
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this, &mixer] { run(mixer); });
    return true;
}

void ClockSink::stop() {
    running_.store(false, std::memory_order_release);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ClockSink::run(Mixer& mixer) {
    raiseToRealtime();
    const std::size_t block = mixer.blockFrames();
    std::vector<float> buffer(block * 2);
    const std::int64_t originNs = monotonicNs();
    std::uint64_t frames = 0;
    while (running_.load(std::memory_order_acquire)) {
        mixer.render(buffer.data(), block);
        frames += block;
        // Deadlines come from the frame count, so rounding never accumulates.
        const std::int64_t due =
            originNs + static_cast<std::int64_t>(frames * 1'000'000'000ull / rate_);
        const timespec wake{static_cast<time_t>(due / 1'000'000'000),
                            static_cast<long>(due % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
        }
    }
}

bool ManualSink::start(Mixer& mixer) {
    mixer_ = &mixer;
    return true;
}

void ManualSink::render(std::size_t frames) {
    if (!mixer_) {
        return;
    }
    block_.resize(frames * 2);
    mixer_->render(block_.data(), frames);
    if (capture_) {
        captured_.insert(captured_.end(), block_.begin(), block_.end());
    }
}

} // namespace audio::engine

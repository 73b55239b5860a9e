#include "decoder_pool.h"

#include "stream.h"

#include <algorithm>
#include <chrono>
#include <sys/resource.h>
#include <unistd.h>

namespace audio::engine {

namespace {
// Rings hold hundreds of milliseconds; looking at them this often keeps them topped up.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr int kWorkerNice = 5;
} // namespace

DecoderPool::DecoderPool(unsigned threads) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) {
        threads_.emplace_back([this] { run(); });
    }
}

DecoderPool::~DecoderPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wakeUp_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void DecoderPool::add(Stream* stream) {
    {
        std::lock_guard lock(mutex_);
        streams_.push_back(stream);
        kicked_ = true;
    }
    wakeUp_.notify_one();
}

void DecoderPool::remove(Stream* stream) {
    {
        std::lock_guard lock(mutex_);
        streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
    }
    // Claims are only taken under the mutex, so none can start from here on.
    while (stream->claimed.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void DecoderPool::wake() {
    {
        std::lock_guard lock(mutex_);
        kicked_ = true;
    }
    wakeUp_.notify_all();
}

// Round robin, so one long decode cannot starve the other streams. Called with mutex_ held.
Stream* DecoderPool::claimNext() {
    const std::size_t count = streams_.size();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = (cursor_ + k) % count;
        Stream* stream = streams_[i];
        bool expected = false;
        if (!stream->claimed.load(std::memory_order_relaxed) && stream->needsWork() &&
            stream->claimed.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
            cursor_ = i + 1;
            return stream;
        }
    }
    return nullptr;
}

void DecoderPool::run() {
    // Rings hold seconds of audio, so decoding can yield to the mixing threads and the sound
    // server whenever the machine is busy.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        Stream* stream = claimNext();
        if (!stream) {
            if (!kicked_) {
                wakeUp_.wait_for(lock, kPollInterval);
            }
            kicked_ = false;
            continue;
        }
        lock.unlock();
        stream->work();
        stream->claimed.store(false, std::memory_order_release);
        lock.lock();
    }
}

} // namespace audio::engine

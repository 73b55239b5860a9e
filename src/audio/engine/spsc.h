#pragma once
// Lock-free single-producer single-consumer containers used between the engine's threads.
//
// Memory ordering: the producer writes the payload, then publishes its index with a release
// store; the consumer reads that index with an acquire load before touching the payload, and
// hands space back by publishing its own index with release (read by the producer with
// acquire). Indices are free-running 64-bit counters, so "full" and "empty" never alias and
// never wrap in practice.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

#include <sys/mman.h>

namespace audio::engine {

// Floats in pages of their own. Untouched pages cost no resident memory, and freeing hands the
// memory back to the system at once: a heap block this large may stay with the process after
// it is freed, and a wall of carts frees and takes a hundred of them at every profile switch.
class PageFloats {
public:
    explicit PageFloats(std::size_t count)
        : bytes_(std::max<std::size_t>(count, 1) * sizeof(float)) {
        void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            throw std::bad_alloc();
        }
        data_ = static_cast<float*>(p);
    }
    ~PageFloats() { munmap(data_, bytes_); }
    PageFloats(const PageFloats&) = delete;
    PageFloats& operator=(const PageFloats&) = delete;
    float* get() const { return data_; }

private:
    std::size_t bytes_;
    float* data_ = nullptr;
};

// Ring of interleaved stereo float frames. Storage is allocated once and left untouched until
// written, so a large capacity costs address space, not resident memory, until it fills.
class FrameRing {
public:
    explicit FrameRing(std::size_t capacityFrames)
        : capacity_(capacityFrames), data_(capacityFrames * 2) {}

    std::size_t capacity() const { return capacity_; }
    std::uint64_t writeIndex() const { return write_.load(std::memory_order_acquire); }
    std::uint64_t readIndex() const { return read_.load(std::memory_order_acquire); }

    // Producer side.
    std::size_t freeFrames() const { return capacity_ - static_cast<std::size_t>(filledFrames()); }
    std::size_t filledFrames() const {
        return static_cast<std::size_t>(write_.load(std::memory_order_acquire) -
                                        read_.load(std::memory_order_acquire));
    }
    // Writes up to `frames` frames; returns how many fitted.
    std::size_t write(const float* stereo, std::size_t frames) {
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        const std::size_t n = std::min(frames, capacity_ - static_cast<std::size_t>(w - r));
        copyIn(w, stereo, n);
        write_.store(w + n, std::memory_order_release);
        return n;
    }

    // Consumer side: copies up to `frames` frames starting at the read index without consuming.
    std::size_t peek(float* stereo, std::size_t frames) const {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        const std::uint64_t w = write_.load(std::memory_order_acquire);
        const std::size_t n = std::min(frames, static_cast<std::size_t>(w - r));
        copyOut(r, stereo, n);
        return n;
    }
    std::size_t available() const {
        return static_cast<std::size_t>(write_.load(std::memory_order_acquire) -
                                        read_.load(std::memory_order_relaxed));
    }
    void consume(std::size_t frames) {
        read_.store(read_.load(std::memory_order_relaxed) + frames, std::memory_order_release);
    }
    // Drops everything before `index` (never beyond what the producer has published).
    void discardTo(std::uint64_t index) {
        const std::uint64_t w = write_.load(std::memory_order_acquire);
        read_.store(std::min(index, w), std::memory_order_release);
    }

private:
    void copyIn(std::uint64_t at, const float* src, std::size_t frames) {
        const std::size_t start = static_cast<std::size_t>(at % capacity_);
        const std::size_t first = std::min(frames, capacity_ - start);
        std::copy_n(src, first * 2, data_.get() + start * 2);
        std::copy_n(src + first * 2, (frames - first) * 2, data_.get());
    }
    void copyOut(std::uint64_t at, float* dst, std::size_t frames) const {
        const std::size_t start = static_cast<std::size_t>(at % capacity_);
        const std::size_t first = std::min(frames, capacity_ - start);
        std::copy_n(data_.get() + start * 2, first * 2, dst);
        std::copy_n(data_.get(), (frames - first) * 2, dst + first * 2);
    }

    const std::size_t capacity_;
    PageFloats data_;
    alignas(64) std::atomic<std::uint64_t> write_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

// Fixed-capacity queue of small trivially copyable messages.
template <typename T, std::size_t Capacity> class SpscQueue {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    bool push(const T& item) {
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        if (w - read_.load(std::memory_order_acquire) == Capacity) {
            return false;
        }
        items_[w & (Capacity - 1)] = item;
        write_.store(w + 1, std::memory_order_release);
        return true;
    }
    std::size_t size() const {
        return static_cast<std::size_t>(write_.load(std::memory_order_acquire) -
                                        read_.load(std::memory_order_relaxed));
    }
    static constexpr std::size_t capacity() { return Capacity; }
    // Producer: no room for another push until the consumer pops.
    bool full() const {
        return write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire) ==
               Capacity;
    }
    // Consumer: the i-th queued item (i < size()).
    const T& peek(std::size_t i) const {
        return items_[(read_.load(std::memory_order_relaxed) + i) & (Capacity - 1)];
    }
    void pop(std::size_t count = 1) {
        read_.store(read_.load(std::memory_order_relaxed) + count, std::memory_order_release);
    }
    bool tryPop(T& out) {
        if (size() == 0) {
            return false;
        }
        out = peek(0);
        pop();
        return true;
    }

private:
    std::array<T, Capacity> items_{};
    alignas(64) std::atomic<std::uint64_t> write_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

} // namespace audio::engine

#pragma once
// The engine's vocabulary: frame counts as a strong type, and what can go wrong.
//
// Positions and lengths are 64-bit frames, at the rate they belong to (a stream's own rate, or
// a device's); time units appear only where a caller converts at its edge.

#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>

namespace audio::engine {

class Frames {
public:
    constexpr Frames() = default;
    constexpr explicit Frames(std::int64_t count) : count_(count) {}

    constexpr std::int64_t count() const { return count_; }

    // Rounded down; a negative duration gives a negative count.
    static constexpr Frames fromDuration(std::chrono::nanoseconds duration, std::uint32_t rate) {
        const std::int64_t ns = duration.count();
        const std::int64_t whole = ns / 1'000'000'000;
        const std::int64_t part = ns % 1'000'000'000;
        return Frames(whole * rate + part * static_cast<std::int64_t>(rate) / 1'000'000'000);
    }
    // Truncated towards zero.
    constexpr std::chrono::milliseconds toMs(std::uint32_t rate) const {
        return rate == 0
                   ? std::chrono::milliseconds(0)
                   : std::chrono::milliseconds(count_ / rate * 1000 + count_ % rate * 1000 / rate);
    }

    constexpr Frames operator+(Frames other) const { return Frames(count_ + other.count_); }
    constexpr Frames operator-(Frames other) const { return Frames(count_ - other.count_); }
    constexpr Frames& operator+=(Frames other) {
        count_ += other.count_;
        return *this;
    }
    // Written out: Qt's moc cannot parse the headers a defaulted <=> needs.
    friend constexpr bool operator==(Frames a, Frames b) { return a.count_ == b.count_; }
    friend constexpr bool operator!=(Frames a, Frames b) { return a.count_ != b.count_; }
    friend constexpr bool operator<(Frames a, Frames b) { return a.count_ < b.count_; }
    friend constexpr bool operator<=(Frames a, Frames b) { return a.count_ <= b.count_; }
    friend constexpr bool operator>(Frames a, Frames b) { return a.count_ > b.count_; }
    friend constexpr bool operator>=(Frames a, Frames b) { return a.count_ >= b.count_; }

private:
    std::int64_t count_ = 0;
};

enum class EngineError {
    OutOfMemory,
    FileOpen,          // missing, unreadable, not a regular file
    UnsupportedFormat, // a container or codec we do not play, or damaged beyond reading
    NotAudio,          // opened, but holds no audio
    NoNetwork,         // a URL could not be reached
    NetworkTimeout,    // a URL stopped answering
    NoSuchDevice,      // the device number names no device
    DeviceNotOpen,     // the device was never opened, or failed to open
    DeviceGone,        // opened, but its output is gone for now (sound server away)
    DeviceFailed,      // the sound server refused the device's output
    AlreadyOpen,       // the device is open and working
    NoFreeStream,      // every stream slot is taken
    BadPosition,       // a seek past the end
    BadParameter,      // a value out of its range
    EngineStalled,     // a device's mixer has stopped taking commands
};

enum class ChannelState : std::uint8_t { Stopped, Playing, Stalled };

// What a mixer reports of a channel, in the order it happened.
struct ChannelEvent {
    enum class Kind : std::uint8_t {
        Ended,      // played to the end of the file (not looping)
        FadedOut,   // a fade to silence reached silence; the channel stopped there
        Stalled,    // the decoder fell behind: the channel plays nothing until it catches up
        LoopTurned, // went round from the end to the start
        CueReached, // reached its armed cue: its fade and the next channel have started
        CueStarted, // started by another channel's cue
        DeviceLost, // the device's output went away; the channel stopped
    };
    Kind kind;
};

// The outcome of a call that returns nothing else: empty on success.
using Failure = std::optional<EngineError>;

// A value, or why there is none.
template <class T> class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(EngineError error) : error_(error) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    EngineError error() const { return *error_; }
    T& value() { return *value_; }
    T take() { return std::move(*value_); }

private:
    std::optional<T> value_;
    std::optional<EngineError> error_;
};

} // namespace audio::engine

#pragma once
// The mixer of one device: sums its playing channels into float stereo blocks.
//
// render() runs on the device's mixing thread and never blocks: it takes no lock, allocates
// nothing and touches no file. Commands from the user-interface thread arrive through a
// lock-free queue and take effect at the start of the next block; what the user-interface
// thread reads back is published in each Stream's atomics, and what happened to a channel
// (ended, looped, stalled, reached its cue) goes back through a second queue, with a ring of
// the doorbell so that the reader need not poll.

#include "declick_tails.h"
#include "engine_types.h"
#include "spsc.h"
#include "stream.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace audio::engine {

enum class CommandType : std::uint8_t {
    Attach,
    Detach,
    Play,
    Stop,
    SetAttributes,
    Slide,
    SetLoop,
    SetGain,
    ArmCue,
    CancelCue,
};

// Attribute values in a command; NaN leaves the attribute alone.
struct Command {
    CommandType type = CommandType::Play;
    Stream* stream = nullptr;
    std::uint32_t seq = 0;
    float rate = 0.0f;   // Hz
    float volume = 0.0f; // 0..1
    float pan = 0.0f;    // -1..1
    float gain = 1.0f;   // SetGain: linear
    std::uint32_t frames = 0;
    bool toSilence = false; // a volume slide that stops the channel at its end
    bool loop = false;
    std::uint64_t at = 0;   // ArmCue: the file frame of the cue
    Stream* next = nullptr; // ArmCue: started at the cue (may be null)
};

struct MixerEvent {
    std::uint64_t channel = 0; // Stream::id
    ChannelEvent::Kind kind = ChannelEvent::Kind::Ended;
};

class Mixer {
public:
    static constexpr std::size_t kMaxChannels = 1024;
    static constexpr float kMaxSpeed = 4.0f;          // playback rate at most 4x the file's own
    static constexpr std::size_t kDeclickTails = 128; // channels that can stop at one moment

    // `doorbell`: an eventfd written once per block that queued events (-1: none).
    Mixer(std::uint32_t rate, std::size_t blockFrames, int doorbell = -1);

    std::uint32_t rate() const { return rate_; }
    std::size_t blockFrames() const { return blockFrames_; }

    // User-interface thread.
    bool post(const Command& command);
    // Any thread: the output is gone; every channel stops at the next block and play is
    // refused until the output is back.
    void markDeviceLost() {
        lost_.store(true, std::memory_order_release);
        losses_.fetch_add(1, std::memory_order_release);
    }
    // Any thread: the output reaches its device again. Channels stay as the loss left them.
    void markDeviceRestored() { lost_.store(false, std::memory_order_release); }
    bool deviceLost() const { return lost_.load(std::memory_order_acquire); }

    // Mixing thread: fills `out` with `frames` stereo frames.
    void render(float* out, std::size_t frames);
    // User-interface thread: the next event, if any.
    bool nextEvent(MixerEvent& event) { return events_.tryPop(event); }
    std::uint64_t framesRendered() const { return rendered_.load(std::memory_order_acquire); }

private:
    void renderBlock(float* out, std::size_t frames);
    void mixSpan(float* out, std::size_t frames);
    void stopAllForLoss();
    std::size_t framesToCue(const Stream& stream) const;
    std::size_t framesToNextCue() const;
    void fireDueCues();
    void fireCue(Stream& stream);
    void start(Stream& stream);
    void emit(const Stream& stream, ChannelEvent::Kind kind);
    void ringDoorbell();
    void apply(const Command& command);
    void attach(Stream* stream);
    void detach(Stream* stream);
    void applyAttributes(Stream& stream, const Command& command, bool slide);
    void releaseTail(Stream& stream, bool channelStays);
    std::size_t renderTail(Stream& stream, float* out);
    bool applySeekMarkers(Stream& stream);
    bool handleWrap(Stream& stream);
    std::size_t framesToWrap(Stream& stream) const;
    void mixChannel(Stream& stream, float* out, std::size_t frames);
    bool dropFraction(Stream& stream, std::size_t limit);
    std::size_t mixDirect(Stream& stream, float* out, std::size_t frames, std::size_t limit);
    std::size_t mixResampled(Stream& stream, float* out, std::size_t frames, std::size_t limit,
                             bool atBoundary);
    void addFrame(Stream& stream, float* out, float left, float right);
    void finishSlides(Stream& stream);
    void publish(Stream& stream);

    const std::uint32_t rate_;
    const std::size_t blockFrames_;
    const std::uint32_t declickFrames_;
    SpscQueue<Command, 4096> commands_;
    SpscQueue<MixerEvent, 4096> events_;
    std::array<Stream*, kMaxChannels> channels_{};
    std::size_t channelCount_ = 0;
    std::vector<float> scratch_; // ring frames read for one block, sized once
    const int doorbell_;
    bool eventsQueued_ = false; // mixing thread: since the doorbell last rang
    DeclickTails tails_;
    std::atomic<bool> lost_{false};
    // Counted, so every loss stops the channels once even if the output is back before the
    // next block.
    std::atomic<std::uint32_t> losses_{0};
    std::uint32_t lossesHandled_ = 0; // mixing thread
    std::atomic<std::uint64_t> rendered_{0};
};

} // namespace audio::engine

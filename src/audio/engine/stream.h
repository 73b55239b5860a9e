#pragma once
// One stream: a decoded file on its way to one mixer.
//
// Threads and what they own:
//  - a decoder pool worker (one at a time, see `claimed`) owns the MediaSource, produces into
//    `ring` and `markers`, and answers seek requests;
//  - the mixing thread owns `mix`, consumes `ring`/`markers` and writes `pub`;
//  - the user-interface thread asks for seeks (requestSeek/waitSeek, guarded by a mutex that
//    only it and the worker take), sets the fill target and loop flag, and reads `pub`.

#include "engine_types.h"
#include "media_source.h"
#include "spsc.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace audio::engine {

inline constexpr std::size_t kHistoryFrames = 512;

class Stream;

enum class MarkerKind : std::uint8_t {
    Seek, // discard everything before ringIndex; the data from there on starts at srcPos
    Wrap, // the play range ends at ringIndex; srcPos is where it ended, and a loop goes on
          // from resumePos
};

struct Marker {
    std::uint64_t ringIndex = 0;
    std::uint64_t srcPos = 0;
    std::uint32_t seekSeq = 0;
    MarkerKind kind = MarkerKind::Seek;
    std::uint64_t resumePos = 0;
};

// The part of a file that plays, in frames of its own rate; no end: up to the file's end.
struct PlayRange {
    std::uint64_t start = 0;
    std::optional<std::uint64_t> end;
};

// A value that moves linearly to a target over a number of frames.
struct Ramp {
    float value = 0.0f;
    float target = 0.0f;
    float step = 0.0f;
    std::uint32_t remaining = 0;
    bool slide = false; // a slide the caller asked for, not a short de-click ramp

    void moveTo(float v, std::uint32_t frames, bool isSlide) {
        target = v;
        slide = isSlide && frames > 0;
        remaining = frames;
        if (frames == 0) {
            value = v;
        } else {
            step = (v - value) / static_cast<float>(frames);
        }
    }
    float tick() {
        if (remaining > 0 && --remaining == 0) {
            value = target;
            slide = false;
        } else if (remaining > 0) {
            value += step;
        }
        return value;
    }
    bool sliding() const { return slide && remaining > 0; }
};

// Mixer-thread state of the channel.
struct MixState {
    bool attached = false;
    bool playing = false;
    bool stalled = false;
    bool ended = false;
    bool loop = false;
    bool stopAtSlideEnd = false;
    bool announceStart = false;
    bool quietPublished = false; // stopped, and that state is published: nothing to redo per block
    bool cueArmed = false;
    std::uint64_t cueAt = 0;   // file frame
    Stream* cueNext = nullptr; // started at the cue
    std::uint32_t cueFade = 0; // device frames this channel fades over from the cue
    Ramp volume;
    Ramp pan;
    Ramp rate;  // playback rate in Hz of the source
    Ramp entry; // gain 0..1: fades a channel in when it resumes over its own stop's fade
    Ramp gain;  // the stream's fixed gain (setStreamGain), under volume and slides
    std::uint64_t markerPos = 0;           // source frame at the last marker
    std::uint64_t consumedSinceMarker = 0; // ring frames consumed since then
    double frac = 0.0;                     // read position between two ring frames
    std::uint32_t historyWrite = 0;        // next slot of PublishedState::history
};

// Written by the mixing thread, read by the user-interface thread.
struct PublishedState {
    std::atomic<ChannelState> state{ChannelState::Stopped};
    std::atomic<bool> ended{false};
    std::atomic<std::uint64_t> position{0};
    std::atomic<float> volume{1.0f};
    std::atomic<float> pan{0.0f};
    std::atomic<float> rate{0.0f};
    std::atomic<bool> fading{false}; // a volume slide the caller asked for is under way
    std::atomic<std::uint32_t> appliedSeq{0};
    std::atomic<std::uint32_t> appliedSeekSeq{0};
    std::atomic<std::int64_t> startedNs{0}; // monotonic time the first sample left the mixer
    std::atomic<bool> detached{false};
    std::array<std::atomic<float>, kHistoryFrames> history{}; // mono, what was played last
    std::atomic<std::uint32_t> historyPos{0};
};

class Stream {
public:
    Stream(std::unique_ptr<MediaSource> source, std::uint32_t deviceRate, std::uint32_t bufferMs);

    const SourceFormat& format() const { return format_; }
    std::uint64_t id = 0; // names the stream in mixer events; set before it is attached
    std::uint32_t deviceRate() const { return deviceRate_; }

    // Decoder pool side.
    bool needsWork() const;
    void work(); // one bounded step; one worker at a time
    std::atomic<bool> claimed{false};

    // User-interface side.
    std::uint32_t requestSeek(std::uint64_t frame);
    // A seek to the range's start that also sets the range, for the decoder from there on.
    std::uint32_t requestRange(const PlayRange& range);
    bool waitSeek(std::uint32_t seq, std::chrono::milliseconds timeout);
    void setPlaying(bool playing) { wantFull_.store(playing, std::memory_order_release); }
    void setLoop(bool loop) { loop_.store(loop, std::memory_order_release); }
    // Decodes the first buffer on the calling thread (before the stream is shared).
    void prime();
    // Frames ready for the mixer, and whether no more will come (end of file, not looping).
    std::size_t readyFrames() const { return ring_.available(); }
    bool decodedToEnd() const {
        return atEnd_.load(std::memory_order_acquire) && !loop_.load(std::memory_order_acquire);
    }

    // Mixing-thread side.
    FrameRing& ring() { return ring_; }
    SpscQueue<Marker, 64>& markers() { return markers_; }
    MixState mix;
    PublishedState pub;

private:
    std::size_t fillTarget() const;
    std::size_t epochFilled() const;
    bool takeSeek();
    bool pushPendingMarker();
    bool fillStep();
    bool decodeStep();
    bool handleEnd();
    void acknowledgeSeek();

    const SourceFormat format_;
    const std::uint32_t deviceRate_;
    const std::size_t bufferFrames_;
    const std::size_t idleFrames_;
    std::unique_ptr<MediaSource> source_;
    FrameRing ring_;
    SpscQueue<Marker, 64> markers_;

    std::atomic<bool> wantFull_{false};
    std::atomic<bool> loop_{false};
    std::atomic<bool> atEnd_{false};
    std::atomic<bool> markerPending_{false};
    std::atomic<bool> ackPending_{false}; // a seek waits for its first buffer
    std::atomic<bool> emptyPass_{false};  // looping a file that decodes to nothing
    std::atomic<std::uint32_t> requestedSeq_{0};
    std::atomic<std::uint32_t> takenSeq_{0};

    // Worker-only.
    Marker pendingMarker_;
    bool endMarked_ = false;
    std::uint64_t rangeStart_ = 0; // the source's range, as the last seek set it
    std::uint64_t rangeEnd_ = 0;
    std::uint64_t passStart_ = 0; // ring index where the current pass through the file began
    std::atomic<std::uint64_t> epochStart_{0}; // ring index where the latest seek's data begins
    std::vector<float> scratch_;
    std::size_t scratchOffset_ = 0; // floats of scratch_ already written to the ring

    // User-interface thread <-> worker.
    std::mutex seekMutex_;
    std::condition_variable seekDone_;
    std::uint64_t requestedFrame_ = 0;
    std::optional<PlayRange> requestedRange_; // applied with the seek that carries it
    std::uint32_t handledSeq_ = 0;
};

} // namespace audio::engine

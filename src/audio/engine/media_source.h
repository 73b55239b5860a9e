#pragma once
// One audio file (or URL) opened through FFmpeg: probing, exact length, decoding and seeking.
//
// Output is interleaved stereo float at the device rate. Frame counts (length, seek targets)
// are at the file's own rate, after the encoder delay and padding have been removed, so the
// stream decodes to exactly `lengthFrames` frames.
//
// Owned by one thread at a time: the creating thread until the stream is handed to the decoder
// pool, a pool worker afterwards.

#include "engine_types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace audio::engine {

struct SourceFormat {
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
    bool eightBit = false;
    std::uint64_t lengthFrames = 0; // 0 only for a network stream of unknown length
};

class MediaSource {
public:
    static constexpr std::uint32_t kSourceRate = 0;

    // Opens and measures `pathOrUrl`. On failure returns nullptr and sets `error`. URLs are only
    // followed when `allowNetwork` is set. An `outRate` of kSourceRate decodes at the file's own
    // rate (no resampling), for analysis.
    static std::unique_ptr<MediaSource> open(const std::string& pathOrUrl, bool allowNetwork,
                                             std::uint32_t outRate, Failure& error);
    ~MediaSource();
    MediaSource(const MediaSource&) = delete;
    MediaSource& operator=(const MediaSource&) = delete;

    const SourceFormat& format() const { return format_; }

    // Decodes a little more audio and appends it to `out` (stereo float frames at the output
    // rate). Returns false once the end has been reached and everything has been delivered.
    // With `loopAtEnd`, the end is not delivered: decoding goes on from the start, through the
    // same resampler, and takeLoopTurn() tells where in `out` the file ended.
    bool decode(std::vector<float>& out, bool loopAtEnd = false);
    // Output frames into the chunk that decode() appended last at which the file ended and
    // its start followed; empty when it did not go round.
    std::optional<std::size_t> takeLoopTurn();

    // Restarts decoding so that the next frame delivered is source frame `frame`.
    bool seek(std::uint64_t frame);

    // The part of the file that plays: decoding ends at `end` (nullopt: the file's end) and a
    // loop turns from there to `start`. Clamped to the file; applies from the next seek.
    void setRange(std::uint64_t start, std::optional<std::uint64_t> end);
    std::uint64_t rangeStart() const;
    std::uint64_t rangeEnd() const; // the file's length, or its end when unknown, with no range

    // Source frame that the next delivered frame belongs to.
    std::uint64_t nextFrame() const;

    struct Impl;

private:
    explicit MediaSource(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    SourceFormat format_;
};

} // namespace audio::engine

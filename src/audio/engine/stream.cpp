#include "stream.h"

#include "engine_units.h"

#include <algorithm>
#include <utility>

namespace audio::engine {

namespace {

constexpr std::uint32_t kIdleMs = 150; // decoded ahead while a stream waits to be played
constexpr std::uint32_t kMinBufferMs = 100;
constexpr std::uint32_t kStepMs = 250;    // most a worker decodes for one stream in one go
constexpr std::uint32_t kRefillMs = 40;   // decode only once this much room has opened
constexpr std::size_t kChunkSlack = 8192; // one decoded chunk may overshoot the fill target

std::size_t framesFor(std::uint32_t ms, std::uint32_t rate) {
    return static_cast<std::size_t>(framesForMs(ms, rate));
}

} // namespace

// The ring holds the buffer plus one idle start, so a seek always finds room for its first
// buffer even while the mixer has not yet dropped the audio from before the seek.
Stream::Stream(std::unique_ptr<MediaSource> source, std::uint32_t deviceRate,
               std::uint32_t bufferMs)
    : format_(source->format()), deviceRate_(deviceRate),
      bufferFrames_(framesFor(std::max(bufferMs, kMinBufferMs), deviceRate)),
      idleFrames_(std::min(bufferFrames_, framesFor(kIdleMs, deviceRate))),
      source_(std::move(source)), ring_(bufferFrames_ + idleFrames_ + kChunkSlack),
      rangeStart_(source_->rangeStart()), rangeEnd_(source_->rangeEnd()) {}

std::size_t Stream::fillTarget() const {
    return wantFull_.load(std::memory_order_acquire) ? bufferFrames_ : idleFrames_;
}

std::size_t Stream::epochFilled() const {
    const std::uint64_t from =
        std::max(ring_.readIndex(), epochStart_.load(std::memory_order_acquire));
    const std::uint64_t to = ring_.writeIndex();
    return to > from ? static_cast<std::size_t>(to - from) : 0;
}

bool Stream::needsWork() const {
    if (requestedSeq_.load(std::memory_order_acquire) !=
        takenSeq_.load(std::memory_order_acquire)) {
        return true;
    }
    // The next step needs a marker but the queue is full (a very short looping file): wait
    // for the mixer to play past one instead of retrying at full speed.
    if (markers_.full() && (markerPending_.load(std::memory_order_acquire) ||
                            atEnd_.load(std::memory_order_acquire))) {
        return false;
    }
    if (markerPending_.load(std::memory_order_acquire) ||
        ackPending_.load(std::memory_order_acquire)) {
        return true;
    }
    if (atEnd_.load(std::memory_order_acquire)) {
        return loop_.load(std::memory_order_acquire) && !emptyPass_.load(std::memory_order_acquire);
    }
    return epochFilled() + std::min(framesFor(kRefillMs, deviceRate_), idleFrames_) <= fillTarget();
}

std::uint32_t Stream::requestSeek(std::uint64_t frame) {
    std::lock_guard lock(seekMutex_);
    requestedFrame_ = frame;
    requestedRange_.reset();
    const std::uint32_t seq = requestedSeq_.load(std::memory_order_relaxed) + 1;
    requestedSeq_.store(seq, std::memory_order_release);
    return seq;
}

std::uint32_t Stream::requestRange(const PlayRange& range) {
    std::lock_guard lock(seekMutex_);
    requestedFrame_ = range.start;
    requestedRange_ = range;
    const std::uint32_t seq = requestedSeq_.load(std::memory_order_relaxed) + 1;
    requestedSeq_.store(seq, std::memory_order_release);
    return seq;
}

bool Stream::waitSeek(std::uint32_t seq, std::chrono::milliseconds timeout) {
    std::unique_lock lock(seekMutex_);
    return seekDone_.wait_for(lock, timeout, [&] { return handledSeq_ >= seq; });
}

bool Stream::takeSeek() {
    std::uint64_t frame = 0;
    std::uint32_t seq = 0;
    std::optional<PlayRange> range;
    {
        std::lock_guard lock(seekMutex_);
        seq = requestedSeq_.load(std::memory_order_relaxed);
        if (seq == takenSeq_.load(std::memory_order_relaxed)) {
            return false;
        }
        frame = requestedFrame_;
        range = std::exchange(requestedRange_, std::nullopt);
    }
    if (range) {
        source_->setRange(range->start, range->end);
        rangeStart_ = source_->rangeStart();
        rangeEnd_ = source_->rangeEnd();
    }
    source_->seek(frame);
    scratch_.clear();
    scratchOffset_ = 0;
    endMarked_ = false;
    emptyPass_.store(false, std::memory_order_release);
    atEnd_.store(false, std::memory_order_release);
    pendingMarker_ = Marker{0, frame, seq, MarkerKind::Seek};
    markerPending_.store(true, std::memory_order_release);
    ackPending_.store(true, std::memory_order_release);
    takenSeq_.store(seq, std::memory_order_release);
    return true;
}

bool Stream::pushPendingMarker() {
    if (!markerPending_.load(std::memory_order_relaxed)) {
        return true;
    }
    pendingMarker_.ringIndex = ring_.writeIndex();
    if (!markers_.push(pendingMarker_)) {
        return false;
    }
    epochStart_.store(pendingMarker_.ringIndex, std::memory_order_release);
    passStart_ = pendingMarker_.ringIndex;
    markerPending_.store(false, std::memory_order_release);
    return true;
}

// At the end of the file: mark it in the ring, and start over when looping.
bool Stream::handleEnd() {
    if (!endMarked_) {
        if (!markers_.push(Marker{ring_.writeIndex(), source_->nextFrame(), 0, MarkerKind::Wrap,
                                  rangeStart_})) {
            return false;
        }
        endMarked_ = true;
    }
    if (!loop_.load(std::memory_order_acquire)) {
        return false;
    }
    if (ring_.writeIndex() == passStart_) {
        // The file gave nothing on its last pass: going round again would only spin.
        emptyPass_.store(true, std::memory_order_release);
        return false;
    }
    passStart_ = ring_.writeIndex();
    source_->seek(rangeStart_);
    endMarked_ = false;
    atEnd_.store(false, std::memory_order_release);
    return true;
}

// Decodes until the fill target or the step budget is reached; false when nothing more can be
// done for now.
bool Stream::fillStep() {
    std::size_t budget = framesFor(kStepMs, deviceRate_);
    while (budget > 0 && epochFilled() < fillTarget()) {
        if (scratchOffset_ < scratch_.size()) {
            const std::size_t frames = (scratch_.size() - scratchOffset_) / 2;
            const std::size_t written = ring_.write(scratch_.data() + scratchOffset_, frames);
            scratchOffset_ += written * 2;
            budget -= std::min(budget, written);
            if (written < frames) {
                return false;
            }
            continue;
        }
        scratch_.clear();
        scratchOffset_ = 0;
        if (atEnd_.load(std::memory_order_relaxed)) {
            if (!handleEnd()) {
                return false;
            }
            continue;
        }
        if (!decodeStep()) {
            return false;
        }
    }
    return true;
}

// Decodes one chunk. While looping, the source goes round to its start inside its resampler,
// so the turn is seamless at any device rate; the end of the file is marked where it falls in
// the chunk. False only when the marker cannot be queued yet.
bool Stream::decodeStep() {
    const bool join = loop_.load(std::memory_order_acquire) && format_.lengthFrames > 0 &&
                      markers_.size() + 1 < markers_.capacity();
    if (!source_->decode(scratch_, join)) {
        atEnd_.store(true, std::memory_order_release);
        return true;
    }
    if (const std::optional<std::size_t> turn = source_->takeLoopTurn()) {
        const std::uint64_t at = ring_.writeIndex() + *turn;
        if (!markers_.push(Marker{at, rangeEnd_, 0, MarkerKind::Wrap, rangeStart_})) {
            return false; // cannot happen: room was checked before the decode
        }
        passStart_ = at;
    }
    return true;
}

void Stream::acknowledgeSeek() {
    const std::uint32_t taken = takenSeq_.load(std::memory_order_relaxed);
    {
        std::lock_guard lock(seekMutex_);
        if (handledSeq_ == taken) {
            return;
        }
        handledSeq_ = taken;
        ackPending_.store(false, std::memory_order_release);
    }
    seekDone_.notify_all();
}

void Stream::work() {
    takeSeek();
    if (!pushPendingMarker()) {
        return;
    }
    fillStep();
    if (atEnd_.load(std::memory_order_relaxed) && scratchOffset_ >= scratch_.size()) {
        handleEnd(); // marks the end in the ring right away, even when the ring is full
    }
    if (epochFilled() >= idleFrames_ || ring_.freeFrames() == 0 ||
        atEnd_.load(std::memory_order_relaxed)) {
        acknowledgeSeek();
    }
}

void Stream::prime() {
    while (epochFilled() < idleFrames_ && !atEnd_.load(std::memory_order_relaxed)) {
        work();
    }
    work();
}

} // namespace audio::engine

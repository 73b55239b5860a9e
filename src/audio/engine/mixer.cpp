#include "mixer.h"

#include "engine_units.h"

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace audio::engine {

namespace {

// Attribute changes ramp over this (no zipper noise), and a stopping channel fades out over it.
constexpr std::uint32_t kDeclickMs = 5;

// One output frame of a channel: its source frame with volume and pan applied.
void placeFrame(float* out, float left, float right, float volume, float pan) {
    out[0] = left * volume * (pan > 0.0f ? 1.0f - pan : 1.0f);
    out[1] = right * volume * (pan < 0.0f ? 1.0f + pan : 1.0f);
}

float speedOf(Ramp& rate, std::uint32_t sourceRate) {
    return std::clamp(rate.tick() / static_cast<float>(sourceRate), 1.0f / 256.0f,
                      Mixer::kMaxSpeed);
}

} // namespace

Mixer::Mixer(std::uint32_t rate, std::size_t blockFrames, int doorbell)
    : rate_(rate), blockFrames_(blockFrames),
      declickFrames_(static_cast<std::uint32_t>(framesForMs(kDeclickMs, rate))),
      scratch_(
          (static_cast<std::size_t>(
               static_cast<float>(std::max<std::size_t>(blockFrames, declickFrames_)) * kMaxSpeed) +
           4) *
          2),
      doorbell_(doorbell), tails_(kDeclickTails, declickFrames_) {}

bool Mixer::post(const Command& command) {
    return commands_.push(command);
}

void Mixer::render(float* out, std::size_t frames) {
    while (frames > 0) {
        const std::size_t n = std::min(frames, blockFrames_);
        renderBlock(out, n);
        out += n * 2;
        frames -= n;
    }
}

void Mixer::renderBlock(float* out, std::size_t frames) {
    Command command;
    while (commands_.tryPop(command)) {
        apply(command);
    }
    const std::uint32_t losses = losses_.load(std::memory_order_acquire);
    if (losses != lossesHandled_) {
        lossesHandled_ = losses;
        stopAllForLoss();
    }
    // A cue falls on an exact output frame: the block is mixed in spans that end there.
    std::size_t done = 0;
    while (done < frames) {
        fireDueCues();
        const std::size_t span = std::clamp<std::size_t>(framesToNextCue(), 1, frames - done);
        mixSpan(out + done * 2, span);
        done += span;
    }
    rendered_.fetch_add(frames, std::memory_order_release);
    ringDoorbell();
}

void Mixer::mixSpan(float* out, std::size_t frames) {
    std::fill(out, out + frames * 2, 0.0f);
    std::int64_t now = 0;
    for (std::size_t i = 0; i < channelCount_; ++i) {
        Stream& stream = *channels_[i];
        mixChannel(stream, out, frames);
        if (stream.mix.announceStart && stream.mix.playing && !stream.mix.stalled) {
            stream.mix.announceStart = false;
            now = now != 0 ? now : monotonicNs();
            stream.pub.startedNs.store(now, std::memory_order_release);
        }
    }
    tails_.mixInto(out, frames);
    for (std::size_t i = 0; i < frames * 2; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
}

void Mixer::stopAllForLoss() {
    for (std::size_t i = 0; i < channelCount_; ++i) {
        MixState& m = channels_[i]->mix;
        if (m.playing) {
            emit(*channels_[i], ChannelEvent::Kind::DeviceLost);
        }
        m.playing = false;
        m.cueArmed = false;
        m.quietPublished = false;
    }
}

// Output frames until the channel's position reaches its cue, at its present speed; SIZE_MAX
// when it has none or is not moving.
std::size_t Mixer::framesToCue(const Stream& stream) const {
    const MixState& m = stream.mix;
    if (!m.cueArmed || !m.playing || m.stalled) {
        return SIZE_MAX;
    }
    if (m.cueAt <= m.markerPos) {
        return 0;
    }
    // The ring holds device-rate frames: the published position reaches the cue once this
    // many of them have been consumed since the marker.
    const std::uint64_t sourceRate = stream.format().rate;
    const std::uint64_t target =
        ((m.cueAt - m.markerPos) * stream.deviceRate() + sourceRate - 1) / sourceRate;
    if (target <= m.consumedSinceMarker) {
        return 0;
    }
    const double ringFrames = static_cast<double>(target - m.consumedSinceMarker) - m.frac;
    const double speed = std::max(m.rate.value / static_cast<float>(sourceRate), 1.0f / 256.0f);
    return static_cast<std::size_t>(std::ceil(std::max(ringFrames, 0.0) / speed - 1e-9));
}

std::size_t Mixer::framesToNextCue() const {
    std::size_t nearest = SIZE_MAX;
    for (std::size_t i = 0; i < channelCount_; ++i) {
        nearest = std::min(nearest, framesToCue(*channels_[i]));
    }
    return nearest;
}

void Mixer::fireDueCues() {
    for (std::size_t i = 0; i < channelCount_; ++i) {
        if (framesToCue(*channels_[i]) == 0) {
            fireCue(*channels_[i]);
        }
    }
}

// The segue: the next channel's first sample and this channel's fade start on this frame.
void Mixer::fireCue(Stream& stream) {
    MixState& m = stream.mix;
    m.cueArmed = false;
    if (m.cueNext != nullptr && m.cueNext->mix.attached && !m.cueNext->mix.playing) {
        start(*m.cueNext);
        publish(*m.cueNext);
        m.cueNext->mix.quietPublished = false;
        emit(*m.cueNext, ChannelEvent::Kind::CueStarted);
    }
    m.cueNext = nullptr;
    if (m.cueFade > 0) {
        m.volume.moveTo(0.0f, m.cueFade, true);
        m.stopAtSlideEnd = true;
        emit(stream, ChannelEvent::Kind::CueReached);
    } else {
        releaseTail(stream, true);
        m.playing = false;
        // Stopped on the cue itself: its play has ended as a finished fade ends it.
        emit(stream, ChannelEvent::Kind::CueReached);
        emit(stream, ChannelEvent::Kind::FadedOut);
    }
    publish(stream);
}

void Mixer::start(Stream& stream) {
    MixState& m = stream.mix;
    m.playing = true;
    m.ended = false;
    m.stalled = false;
    m.announceStart = true;
    // Resuming while the stop's fade still sounds: fade in against it, so the two add up to
    // the waveform instead of doubling it.
    const std::size_t overlap = tails_.remainingFor(&stream);
    m.entry.value = overlap > 0 ? 0.0f : 1.0f;
    m.entry.moveTo(1.0f, static_cast<std::uint32_t>(overlap), false);
}

void Mixer::emit(const Stream& stream, ChannelEvent::Kind kind) {
    // Only the reader's falling behind by thousands of events could fill the queue; the
    // event is then lost rather than the mixer waiting.
    if (events_.push(MixerEvent{stream.id, kind})) {
        eventsQueued_ = true;
    }
}

// An eventfd write is one short non-blocking system call with no user-space lock: the reader
// sleeps in its event loop instead of polling every channel.
void Mixer::ringDoorbell() {
    if (!eventsQueued_ || doorbell_ < 0) {
        return;
    }
    eventsQueued_ = false;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(doorbell_, &one, sizeof one);
}

void Mixer::apply(const Command& command) {
    Stream* stream = command.stream;
    switch (command.type) {
    case CommandType::Attach:
        attach(stream);
        break;
    case CommandType::Detach:
        detach(stream);
        return; // the stream may be gone as soon as it is marked detached
    case CommandType::Play:
        if (!lost_.load(std::memory_order_relaxed)) {
            start(*stream);
        } else {
            emit(*stream, ChannelEvent::Kind::DeviceLost); // the output went before it started
        }
        break;
    case CommandType::Stop:
        releaseTail(*stream, true);
        stream->mix.playing = false;
        stream->mix.stalled = false;
        stream->mix.stopAtSlideEnd = false;
        stream->mix.cueArmed = false;
        for (Ramp* ramp : {&stream->mix.volume, &stream->mix.pan, &stream->mix.rate}) {
            ramp->moveTo(ramp->value, 0, false);
        }
        stream->mix.gain.moveTo(stream->mix.gain.target, 0, false);
        break;
    case CommandType::SetAttributes:
        applyAttributes(*stream, command, false);
        break;
    case CommandType::Slide:
        applyAttributes(*stream, command, true);
        break;
    case CommandType::SetLoop:
        stream->mix.loop = command.loop;
        break;
    case CommandType::SetGain:
        stream->mix.gain.moveTo(command.gain, stream->mix.playing ? declickFrames_ : 0u, false);
        break;
    case CommandType::ArmCue:
        stream->mix.cueArmed = true;
        stream->mix.cueAt = command.at;
        stream->mix.cueNext = command.next;
        stream->mix.cueFade = command.frames;
        break;
    case CommandType::CancelCue:
        stream->mix.cueArmed = false;
        stream->mix.cueNext = nullptr;
        break;
    }
    publish(*stream);
    stream->mix.quietPublished = !stream->mix.playing;
    stream->pub.appliedSeq.store(command.seq, std::memory_order_release);
}

void Mixer::attach(Stream* stream) {
    if (channelCount_ >= kMaxChannels || stream->mix.attached) {
        return;
    }
    MixState& m = stream->mix;
    m.attached = true;
    m.volume.moveTo(1.0f, 0, false);
    m.pan.moveTo(0.0f, 0, false);
    m.rate.moveTo(static_cast<float>(stream->format().rate), 0, false);
    m.entry.moveTo(1.0f, 0, false);
    m.gain.moveTo(1.0f, 0, false);
    channels_[channelCount_++] = stream;
}

void Mixer::detach(Stream* stream) {
    releaseTail(*stream, false);
    tails_.forget(stream);
    for (std::size_t i = 0; i < channelCount_; ++i) {
        if (channels_[i] == stream) {
            channels_[i] = channels_[--channelCount_];
            break;
        }
    }
    // No cue may start a stream that is about to be freed.
    for (std::size_t i = 0; i < channelCount_; ++i) {
        if (channels_[i]->mix.cueNext == stream) {
            channels_[i]->mix.cueNext = nullptr;
        }
    }
    stream->mix.attached = false;
    stream->mix.cueArmed = false;
    stream->pub.state.store(ChannelState::Stopped, std::memory_order_release);
    stream->pub.detached.store(true, std::memory_order_release);
}

void Mixer::applyAttributes(Stream& stream, const Command& command, bool slide) {
    MixState& m = stream.mix;
    // A silent channel has nothing to de-click: a volume set before play holds from its first
    // sample.
    const std::uint32_t frames = slide ? command.frames : (m.playing ? declickFrames_ : 0u);
    if (!std::isnan(command.volume)) {
        if (slide && command.toSilence && frames == 0) {
            releaseTail(stream, true);
        }
        m.volume.moveTo(command.volume, frames, slide);
        m.stopAtSlideEnd = slide && command.toSilence;
        m.cueArmed = m.cueArmed && !m.stopAtSlideEnd; // a fading channel segues no more
        if (m.stopAtSlideEnd && frames == 0) {
            m.playing = false;
            m.stopAtSlideEnd = false;
        }
    }
    if (!std::isnan(command.pan)) {
        m.pan.moveTo(command.pan, frames, slide);
    }
    if (!std::isnan(command.rate)) {
        m.rate.moveTo(command.rate, slide ? frames : 0, slide);
    }
}

// A sounding channel stops: the frames it would play next go out faded to zero, so its
// waveform does not cut. They are read without being consumed, so the channel keeps the
// position it stopped at.
void Mixer::releaseTail(Stream& stream, bool channelStays) {
    if (!stream.mix.playing || stream.mix.stalled) {
        return; // nothing is sounding, or the output already ran dry
    }
    float* out = tails_.reserve();
    if (out) {
        tails_.start(channelStays ? &stream : nullptr, renderTail(stream, out));
    }
}

// Renders up to one de-click length of the channel from copies of its state; only up to the
// next marker, because beyond it lies another place in the file.
std::size_t Mixer::renderTail(Stream& stream, float* out) {
    const MixState& m = stream.mix;
    const std::size_t wanted = std::min(framesToWrap(stream), scratch_.size() / 2);
    const std::size_t got = stream.ring().peek(scratch_.data(), wanted);
    Ramp volume = m.volume;
    Ramp pan = m.pan;
    Ramp rate = m.rate;
    Ramp gain = m.gain;
    double pos = m.frac;
    std::size_t made = 0;
    while (made < tails_.framesPerTail()) {
        const auto i = static_cast<std::size_t>(pos);
        if (i >= got) {
            break;
        }
        const float t = static_cast<float>(pos - static_cast<double>(i));
        const float* a = &scratch_[i * 2];
        const float* b = i + 1 < got ? a + 2 : a;
        placeFrame(out + made * 2, a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t,
                   gain.tick() * volume.tick() * m.entry.value, pan.tick());
        ++made;
        pos += speedOf(rate, stream.format().rate);
    }
    return made;
}

bool Mixer::applySeekMarkers(Stream& stream) {
    SpscQueue<Marker, 64>& markers = stream.markers();
    const std::size_t queued = markers.size();
    std::size_t lastSeek = queued;
    for (std::size_t i = 0; i < queued; ++i) {
        if (markers.peek(i).kind == MarkerKind::Seek) {
            lastSeek = i;
        }
    }
    if (lastSeek == queued) {
        return false;
    }
    const Marker marker = markers.peek(lastSeek);
    markers.pop(lastSeek + 1);
    stream.ring().discardTo(marker.ringIndex);
    MixState& m = stream.mix;
    m.markerPos = marker.srcPos;
    m.consumedSinceMarker = 0;
    m.frac = 0.0;
    m.ended = false;
    stream.pub.appliedSeekSeq.store(marker.seekSeq, std::memory_order_release);
    return true;
}

std::size_t Mixer::framesToWrap(Stream& stream) const {
    SpscQueue<Marker, 64>& markers = stream.markers();
    if (markers.size() == 0) {
        return SIZE_MAX;
    }
    const std::uint64_t at = markers.peek(0).ringIndex;
    const std::uint64_t read = stream.ring().readIndex();
    return at > read ? static_cast<std::size_t>(at - read) : 0;
}

// The read position reached the end of the file: go round again when looping, else stop.
bool Mixer::handleWrap(Stream& stream) {
    const Marker marker = stream.markers().peek(0);
    stream.markers().pop();
    MixState& m = stream.mix;
    m.consumedSinceMarker = 0;
    if (m.loop) {
        m.markerPos = marker.resumePos;
        emit(stream, ChannelEvent::Kind::LoopTurned);
        return true;
    }
    m.markerPos = marker.srcPos;
    m.frac = 0.0;
    m.playing = false;
    m.ended = true;
    m.cueArmed = false;
    emit(stream, ChannelEvent::Kind::Ended);
    return false;
}

void Mixer::mixChannel(Stream& stream, float* out, std::size_t frames) {
    const bool sought = applySeekMarkers(stream);
    MixState& m = stream.mix;
    // A stopped channel changes only through commands, which publish as they apply, or a seek.
    if (!m.playing && m.quietPublished && !sought && !m.stopAtSlideEnd) {
        return;
    }
    bool starved = false;
    std::size_t done = 0;
    while (m.playing && done < frames) {
        const std::size_t toWrap = framesToWrap(stream);
        if (toWrap == 0) {
            if (!handleWrap(stream)) {
                break;
            }
            continue;
        }
        const std::size_t available = stream.ring().available();
        const std::size_t limit = std::min(available, toWrap);
        const bool atSourceRate =
            m.rate.value == static_cast<float>(stream.format().rate) && m.rate.remaining == 0;
        if (atSourceRate && m.frac != 0.0 && dropFraction(stream, limit)) {
            continue;
        }
        const bool direct = atSourceRate && m.frac == 0.0;
        const std::size_t made = direct ? mixDirect(stream, out + done * 2, frames - done, limit)
                                        : mixResampled(stream, out + done * 2, frames - done, limit,
                                                       toWrap <= available);
        if (made == 0) {
            starved = true;
            break;
        }
        done += made;
    }
    if (m.playing && !starved && framesToWrap(stream) == 0) {
        handleWrap(stream); // the last frame has gone out: the state changes with it
    }
    if (m.playing && starved && !m.stalled) {
        emit(stream, ChannelEvent::Kind::Stalled);
    }
    m.stalled = m.playing && starved;
    finishSlides(stream);
    publish(stream);
    m.quietPublished = !m.playing;
}

// Back at the file's own rate after a rate change: the read position snaps to the nearest
// frame, so playback takes the exact path again instead of interpolating (dull treble) forever.
bool Mixer::dropFraction(Stream& stream, std::size_t limit) {
    MixState& m = stream.mix;
    if (m.frac >= 0.5) {
        if (limit == 0) {
            return false; // the next frame is not decoded yet
        }
        stream.ring().consume(1);
        m.consumedSinceMarker += 1;
    }
    m.frac = 0.0;
    return true;
}

std::size_t Mixer::mixDirect(Stream& stream, float* out, std::size_t frames, std::size_t limit) {
    const std::size_t n =
        stream.ring().peek(scratch_.data(), std::min({frames, limit, blockFrames_}));
    for (std::size_t k = 0; k < n; ++k) {
        addFrame(stream, out + k * 2, scratch_[k * 2], scratch_[k * 2 + 1]);
    }
    stream.ring().consume(n);
    stream.mix.consumedSinceMarker += n;
    return n;
}

// Playback at another rate than the file's: linear interpolation between ring frames.
std::size_t Mixer::mixResampled(Stream& stream, float* out, std::size_t frames, std::size_t limit,
                                bool atBoundary) {
    MixState& m = stream.mix;
    const std::size_t wanted = std::min(limit, scratch_.size() / 2);
    const std::size_t got = stream.ring().peek(scratch_.data(), wanted);
    const bool lastFrameIsEnd = atBoundary && got == limit;
    double pos = m.frac;
    std::size_t made = 0;
    while (made < frames) {
        const auto i = static_cast<std::size_t>(pos);
        if (i >= got || (i + 1 >= got && !lastFrameIsEnd)) {
            break;
        }
        const float t = static_cast<float>(pos - static_cast<double>(i));
        const float* a = &scratch_[i * 2];
        const float* b = i + 1 < got ? a + 2 : a;
        addFrame(stream, out + made * 2, a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t);
        ++made;
        pos += speedOf(m.rate, stream.format().rate);
    }
    const std::size_t consumed = std::min(static_cast<std::size_t>(pos), got);
    stream.ring().consume(consumed);
    m.consumedSinceMarker += consumed;
    m.frac = pos - static_cast<double>(consumed);
    return made;
}

void Mixer::addFrame(Stream& stream, float* out, float left, float right) {
    MixState& m = stream.mix;
    const float volume = m.gain.tick() * m.volume.tick() * m.entry.tick();
    float frame[2];
    placeFrame(frame, left, right, volume, m.pan.tick());
    const float l = frame[0];
    const float r = frame[1];
    out[0] += l;
    out[1] += r;
    stream.pub.history[m.historyWrite++ % kHistoryFrames].store((l + r) * 0.5f,
                                                                std::memory_order_relaxed);
}

void Mixer::finishSlides(Stream& stream) {
    MixState& m = stream.mix;
    if (m.stopAtSlideEnd && m.volume.remaining == 0) {
        m.stopAtSlideEnd = false;
        if (m.playing) {
            emit(stream, ChannelEvent::Kind::FadedOut);
        }
        m.playing = false;
        m.stalled = false;
    }
}

void Mixer::publish(Stream& stream) {
    const MixState& m = stream.mix;
    PublishedState& pub = stream.pub;
    const std::uint64_t played = m.consumedSinceMarker * stream.format().rate / stream.deviceRate();
    // A length of 0 means unknown (a network stream): nothing to clamp to.
    const std::uint64_t length = stream.format().lengthFrames;
    const std::uint64_t position = m.markerPos + played;
    pub.position.store(length > 0 ? std::min(position, length) : position,
                       std::memory_order_release);
    pub.volume.store(m.volume.value, std::memory_order_relaxed);
    pub.pan.store(m.pan.value, std::memory_order_relaxed);
    pub.rate.store(m.rate.value, std::memory_order_relaxed);
    pub.fading.store(m.volume.sliding(), std::memory_order_relaxed);
    pub.ended.store(m.ended, std::memory_order_relaxed);
    pub.historyPos.store(m.historyWrite, std::memory_order_release);
    const ChannelState state = !m.playing
                                   ? ChannelState::Stopped
                                   : (m.stalled ? ChannelState::Stalled : ChannelState::Playing);
    pub.state.store(state, std::memory_order_release);
}

} // namespace audio::engine

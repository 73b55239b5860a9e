#include "sound_engine.h"

#include "decoder_pool.h"
#include "engine_units.h"
#include "media_source.h"
#include "mixer.h"
#include "pulse_output.h"
#include "sound_engine_parts.h"
#include "spectrum.h"
#include "stream.h"
#include "stream_prefetch.h"
#include "stream_reaper.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace audio::engine {

namespace {

constexpr std::size_t kMaxStreams = 4095;
constexpr std::uint32_t kIndexBits = 12;
constexpr auto kSeekTimeout = std::chrono::seconds(5);
constexpr std::uint64_t kBadPosition = ~0ull;
constexpr float kKeep = std::numeric_limits<float>::quiet_NaN();
constexpr float kMaxStreamGain = 16.0f; // +24 dB

// Positions and lengths are counted in bytes of 16-bit PCM in the file's own channels.
std::uint64_t bytesPerFrame(const SourceFormat& format) {
    return 2ull * format.channels;
}

} // namespace

SoundEngine::SoundEngine(std::unique_ptr<DeviceProvider> provider, unsigned decoderThreads)
    : provider_(std::move(provider)), pool_(std::make_unique<DecoderPool>(decoderThreads)),
      slots_(kMaxStreams), spectrum_(std::make_unique<Spectrum>()),
      reaper_(std::make_unique<StreamReaper>()),
      prefetch_(std::make_unique<StreamPrefetch>(*reaper_)) {}

SoundEngine::~SoundEngine() {
    prefetch_.reset();
    pool_.reset();
    devices_.clear(); // stops every sink: no mixer runs from here on
    reaper_.reset();  // so what it still holds can go
}

std::unique_ptr<SoundEngine> makeSoundEngine() {
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    return std::make_unique<SoundEngine>(std::make_unique<PulseDeviceProvider>(),
                                         std::min(cores, 4u));
}

bool SoundEngine::fail(int error) {
    lastError_ = error;
    return false;
}

std::uint32_t SoundEngine::version() {
    lastError_ = kErrOk;
    return kSoundApiVersion;
}

int SoundEngine::lastError() {
    return lastError_;
}

StreamHandle SoundEngine::createFileStream(const std::string& path, std::uint32_t) {
    return createStream(path, false);
}

StreamHandle SoundEngine::createWmaStream(const std::string& pathOrUrl, std::uint32_t) {
    return createStream(pathOrUrl, pathOrUrl.find("://") != std::string::npos);
}

StreamHandle SoundEngine::createStream(const std::string& path, bool network) {
    Device* target = device(current_);
    if (!target) {
        fail(kErrInit);
        return 0;
    }
    const std::size_t index = freeSlotIndex();
    if (index == slots_.size()) {
        fail(kErrNoChannel);
        return 0;
    }
    std::unique_ptr<Stream> stream =
        network ? nullptr : prefetch_->take(path, target->mixer->rate(), bufferMs_);
    if (!stream) {
        int error = kErrOk;
        auto source = MediaSource::open(path, network, target->mixer->rate(), error);
        if (!source) {
            fail(error);
            return 0;
        }
        stream = std::make_unique<Stream>(std::move(source), target->mixer->rate(), bufferMs_);
        stream->prime();
    }
    Slot& slot = slots_[index];
    slot.stream = std::move(stream);
    slot.device = target;
    slot.sentSeq = slot.seekSeq = 0;
    slot.seekTarget = 0;
    slot.playing = false;
    slot.rate = static_cast<float>(slot.stream->format().rate);
    slot.volume = 1.0f;
    slot.pan = 0.0f;
    slot.slideBits = 0;
    Command attach;
    attach.type = CommandType::Attach;
    if (!post(slot, attach)) {
        slot.stream.reset();
        fail(kErrUnknown);
        return 0;
    }
    pool_->add(slot.stream.get());
    nextSlot_ = (index + 1) % slots_.size();
    lastError_ = kErrOk;
    return (slot.generation << kIndexBits) | static_cast<std::uint32_t>(index + 1);
}

void SoundEngine::prefetchFiles(int device, const std::vector<std::string>& paths) {
    lastError_ = kErrOk;
    if (Device* target = this->device(device)) {
        prefetch_->replace(paths, target->mixer->rate(), bufferMs_);
    }
}

std::size_t SoundEngine::prefetchedCount() const {
    return prefetch_->parkedCount();
}

std::size_t SoundEngine::pendingFreeCount() const {
    return reaper_->pending();
}

// The first free slot from the rotating cursor on; slots_.size() when all are taken.
std::size_t SoundEngine::freeSlotIndex() const {
    for (std::size_t k = 0; k < slots_.size(); ++k) {
        const std::size_t i = (nextSlot_ + k) % slots_.size();
        if (!slots_[i].stream) {
            return i;
        }
    }
    return slots_.size();
}

SoundEngine::Slot* SoundEngine::find(StreamHandle handle) {
    const std::uint32_t index = (handle & ((1u << kIndexBits) - 1)) - 1;
    if (handle == 0 || index >= slots_.size()) {
        return nullptr;
    }
    Slot& slot = slots_[index];
    if (!slot.stream || slot.generation != (handle >> kIndexBits)) {
        return nullptr;
    }
    lastError_ = kErrOk;
    return &slot;
}

// Hands a command to the mixer. The queue only fills if the mixer has stopped pulling blocks
// for a long time; then the call gives up rather than hang.
bool SoundEngine::post(Slot& slot, const Command& command) {
    Command sent = command;
    sent.stream = slot.stream.get();
    sent.seq = ++slot.sentSeq;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (slot.device->mixer->post(sent)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    --slot.sentSeq;
    return false;
}

bool SoundEngine::pending(const Slot& slot) const {
    return slot.stream->pub.appliedSeq.load(std::memory_order_acquire) != slot.sentSeq;
}

void SoundEngine::refreshShadow(Slot& slot) {
    if (pending(slot)) {
        return;
    }
    const PublishedState& pub = slot.stream->pub;
    slot.rate = pub.rate.load(std::memory_order_relaxed);
    slot.volume = pub.volume.load(std::memory_order_relaxed);
    slot.pan = pub.pan.load(std::memory_order_relaxed);
    slot.slideBits = 0;
    slot.playing = pub.state.load(std::memory_order_acquire) != kChannelStopped;
}

bool SoundEngine::freeStream(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    pool_->remove(slot->stream.get());
    Command detach;
    detach.type = CommandType::Detach;
    // If the mixer has stopped pulling blocks the command cannot go; the stream then simply
    // stays with the reaper until the engine is destroyed.
    post(*slot, detach);
    reaper_->release(std::move(slot->stream), true);
    slot->generation = (slot->generation + 1) & ((1u << (32 - kIndexBits)) - 1);
    slot->generation = slot->generation == 0 ? 1 : slot->generation;
    lastError_ = kErrOk;
    return true;
}

bool SoundEngine::channelInfo(StreamHandle handle, ChannelInfo& info) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    const SourceFormat& format = slot->stream->format();
    info.freq = format.rate;
    info.chans = format.channels;
    info.flags = format.eightBit ? kInfo8Bits : 0u;
    return true;
}

bool SoundEngine::getAttributes(StreamHandle handle, std::uint32_t* rate, std::uint32_t* volume,
                                std::int32_t* pan) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    refreshShadow(*slot);
    if (rate) {
        *rate = static_cast<std::uint32_t>(std::lround(slot->rate));
    }
    if (volume) {
        *volume = static_cast<std::uint32_t>(std::lround(slot->volume * 100.0f));
    }
    if (pan) {
        *pan = static_cast<std::int32_t>(std::lround(slot->pan * 100.0f));
    }
    return true;
}

// Fills the command's attribute targets from the caller's values; "keep" values become NaN.
void SoundEngine::attributeTargets(const Slot& slot, std::int32_t rate, std::int32_t volume,
                                   std::int32_t pan, Command& command) {
    const auto ownRate = static_cast<float>(slot.stream->format().rate);
    command.rate =
        rate == kKeepRate
            ? kKeep
            : (rate == 0 ? ownRate : std::clamp(static_cast<float>(rate), 100.0f, 100000.0f));
    command.toSilence = command.type == CommandType::Slide && volume == kSlideToSilence;
    command.volume =
        volume == kKeepVolume
            ? kKeep
            : (command.toSilence ? 0.0f : static_cast<float>(std::clamp(volume, 0, 100)) / 100.0f);
    command.pan = pan == kKeepPan ? kKeep : static_cast<float>(std::clamp(pan, -100, 100)) / 100.0f;
}

bool SoundEngine::setAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                                std::int32_t pan) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    refreshShadow(*slot);
    Command command;
    command.type = CommandType::SetAttributes;
    attributeTargets(*slot, rate, volume, pan, command);
    if (!post(*slot, command)) {
        return fail(kErrUnknown);
    }
    slot->rate = std::isnan(command.rate) ? slot->rate : command.rate;
    slot->volume = std::isnan(command.volume) ? slot->volume : command.volume;
    slot->pan = std::isnan(command.pan) ? slot->pan : command.pan;
    return true;
}

bool SoundEngine::slideAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                                  std::int32_t pan, std::uint32_t ms) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    refreshShadow(*slot);
    Command command;
    command.type = CommandType::Slide;
    // Clamped: a slide of days would otherwise wrap round to a few seconds.
    command.frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        framesForMs(ms, slot->device->mixer->rate()), std::numeric_limits<std::uint32_t>::max()));
    attributeTargets(*slot, rate, volume, pan, command);
    if (!post(*slot, command)) {
        return fail(kErrUnknown);
    }
    if (command.toSilence && command.frames == 0) {
        slot->playing = false; // a fade to silence in no time is a stop
        slot->stream->setPlaying(false);
    }
    if (command.frames > 0) {
        slot->slideBits = (std::isnan(command.rate) ? 0u : kSlidingRate) |
                          (std::isnan(command.volume) ? 0u : kSlidingVolume) |
                          (std::isnan(command.pan) ? 0u : kSlidingPan);
    }
    return true;
}

std::uint32_t SoundEngine::isSliding(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return 0;
    }
    refreshShadow(*slot);
    return pending(*slot) ? slot->slideBits
                          : slot->stream->pub.sliding.load(std::memory_order_relaxed);
}

bool SoundEngine::setStreamGain(StreamHandle handle, float gain) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    if (!std::isfinite(gain) || gain < 0.0f || gain > kMaxStreamGain) {
        return fail(kErrIllegalParam);
    }
    Command command;
    command.type = CommandType::SetGain;
    command.gain = gain;
    return post(*slot, command) || fail(kErrUnknown);
}

bool SoundEngine::seekAndWait(Slot& slot, std::uint64_t frame) {
    slot.seekSeq = slot.stream->requestSeek(frame);
    slot.seekTarget = frame;
    pool_->wake();
    // The worker answers once the first buffer at the new place is decoded.
    return slot.stream->waitSeek(slot.seekSeq, kSeekTimeout);
}

bool SoundEngine::play(StreamHandle handle, bool restart) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    if (slot->device->mixer->deviceLost()) {
        return fail(kErrStart); // until the output is back; deviceUsable() tells
    }
    refreshShadow(*slot);
    const PublishedState& pub = slot->stream->pub;
    const bool seekPending = pub.appliedSeekSeq.load(std::memory_order_acquire) != slot->seekSeq;
    const bool ended = !seekPending && pub.ended.load(std::memory_order_relaxed);
    if (slot->playing && !restart) {
        return true;
    }
    if (restart || ended) {
        seekAndWait(*slot, 0);
    }
    slot->stream->pub.startedNs.store(0, std::memory_order_relaxed);
    Command command;
    command.type = CommandType::Play;
    if (!post(*slot, command)) {
        return fail(kErrUnknown);
    }
    slot->playing = true;
    // Only now wake the decoders to fill the whole buffer: the start is already decoded, and
    // waking them first could delay the command.
    slot->stream->setPlaying(true);
    pool_->wake();
    return true;
}

bool SoundEngine::stop(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    Command command;
    command.type = CommandType::Stop;
    if (!post(*slot, command)) {
        return fail(kErrUnknown);
    }
    slot->stream->setPlaying(false);
    slot->playing = false;
    slot->slideBits = 0;
    return true;
}

int SoundEngine::isActive(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return kChannelStopped;
    }
    if (pending(*slot)) {
        return slot->playing ? kChannelPlaying : kChannelStopped;
    }
    return slot->stream->pub.state.load(std::memory_order_acquire);
}

bool SoundEngine::setFlags(StreamHandle handle, std::uint32_t flags) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    Command command;
    command.type = CommandType::SetLoop;
    command.loop = (flags & kChannelLoop) != 0;
    if (!post(*slot, command)) {
        return fail(kErrUnknown);
    }
    slot->stream->setLoop(command.loop);
    pool_->wake();
    return true;
}

bool SoundEngine::setPosition(StreamHandle handle, std::uint64_t bytes) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    const SourceFormat& format = slot->stream->format();
    const std::uint64_t frame = bytes / bytesPerFrame(format);
    if (frame > format.lengthFrames) {
        return fail(kErrPosition);
    }
    seekAndWait(*slot, frame);
    return true;
}

std::uint64_t SoundEngine::position(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return kBadPosition;
    }
    const PublishedState& pub = slot->stream->pub;
    const bool seekPending = pub.appliedSeekSeq.load(std::memory_order_acquire) != slot->seekSeq;
    const std::uint64_t frame =
        seekPending ? slot->seekTarget : pub.position.load(std::memory_order_acquire);
    return frame * bytesPerFrame(slot->stream->format());
}

std::uint64_t SoundEngine::length(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return kBadPosition;
    }
    const SourceFormat& format = slot->stream->format();
    return format.lengthFrames * bytesPerFrame(format);
}

double SoundEngine::bytesToSeconds(StreamHandle handle, std::uint64_t bytes) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return -1.0;
    }
    const SourceFormat& format = slot->stream->format();
    const std::uint64_t frames = bytes / bytesPerFrame(format);
    return static_cast<double>(frames) / static_cast<double>(format.rate);
}

std::uint64_t SoundEngine::secondsToBytes(StreamHandle handle, double seconds) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return kBadPosition;
    }
    const SourceFormat& format = slot->stream->format();
    if (!(seconds >= 0.0) || !std::isfinite(seconds)) {
        fail(kErrIllegalParam);
        return kBadPosition;
    }
    // Far beyond any file: clamped, so the byte count neither overflows nor reads as an error.
    const std::uint64_t frameBytes = bytesPerFrame(format);
    const std::uint64_t maxFrames = (kBadPosition - 1) / frameBytes;
    const double exact = seconds * format.rate + 1e-6;
    const std::uint64_t frames = exact < static_cast<double>(maxFrames)
                                     ? std::min(static_cast<std::uint64_t>(exact), maxFrames)
                                     : maxFrames;
    return frames * frameBytes;
}

std::int32_t SoundEngine::getData(StreamHandle handle, void* buffer, std::uint32_t request) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return -1;
    }
    if (request != kDataFft512 || !buffer) {
        fail(request != kDataFft512 ? kErrIllegalType : kErrIllegalParam);
        return -1;
    }
    if (isActive(handle) != kChannelPlaying) {
        fail(kErrNoPlay);
        return -1;
    }
    const PublishedState& pub = slot->stream->pub;
    const std::uint32_t end = pub.historyPos.load(std::memory_order_acquire);
    std::array<float, Spectrum::kSize> samples{};
    for (std::size_t i = 0; i < Spectrum::kSize; ++i) {
        const std::uint32_t at =
            end - static_cast<std::uint32_t>(Spectrum::kSize) + static_cast<std::uint32_t>(i);
        if (end >= Spectrum::kSize || at < end) {
            samples[i] = pub.history[at % kHistoryFrames].load(std::memory_order_relaxed);
        }
    }
    spectrum_->compute(samples, static_cast<float*>(buffer));
    lastError_ = kErrOk;
    return static_cast<std::int32_t>(Spectrum::kBins * sizeof(float));
}

bool SoundEngine::update() {
    pool_->wake();
    lastError_ = kErrOk;
    return true;
}

std::int64_t SoundEngine::playStartedNs(StreamHandle handle) {
    Slot* slot = find(handle);
    return slot ? slot->stream->pub.startedNs.load(std::memory_order_acquire) : 0;
}

} // namespace audio::engine

namespace audio::engine {

bool SoundEngine::waitBuffered(StreamHandle handle, std::size_t frames,
                               std::chrono::milliseconds timeout) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const Stream& stream = *slot->stream;
    while (stream.readyFrames() < frames && !stream.decodedToEnd()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        pool_->wake();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace audio::engine

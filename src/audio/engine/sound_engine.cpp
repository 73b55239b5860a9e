#include "sound_engine.h"

#include "decoder_pool.h"
#include "media_source.h"
#include "mixer.h"
#include "pulse_output.h"
#include "spectrum.h"
#include "stream.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace audio::engine {

namespace {

constexpr int kMaxDeviceNumber = 10;
constexpr std::uint32_t kDefaultRate = 44100;
constexpr std::size_t kMaxStreams = 4095;
constexpr std::uint32_t kIndexBits = 12;
constexpr std::uint32_t kMinBufferMs = 100;
constexpr std::uint32_t kMaxBufferMs = 10000;
constexpr auto kSeekTimeout = std::chrono::seconds(5);
constexpr auto kDeviceListMaxAge = std::chrono::seconds(1);
constexpr std::uint64_t kBadPosition = ~0ull;
constexpr float kKeep = std::numeric_limits<float>::quiet_NaN();

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct SoundEngine::Device {
    std::unique_ptr<OutputSink> sink;
    std::unique_ptr<Mixer> mixer;
    ~Device() {
        if (sink) {
            sink->stop();
        }
    }
};

// What the user-interface thread knows of a stream. While commands are on their way to the
// mixer, answers come from the values asked for ("shadow"), so a query right after a call sees
// that call's effect.
struct SoundEngine::Slot {
    std::unique_ptr<Stream> stream;
    Device* device = nullptr;
    std::uint32_t generation = 1;
    std::uint32_t sentSeq = 0;
    std::uint32_t seekSeq = 0;
    std::uint64_t seekTarget = 0;
    bool playing = false;
    float rate = 0.0f;
    float volume = 1.0f;
    float pan = 0.0f;
    std::uint32_t slideBits = 0;
};

SoundEngine::SoundEngine(std::unique_ptr<DeviceProvider> provider, unsigned decoderThreads)
    : provider_(std::move(provider)), pool_(std::make_unique<DecoderPool>(decoderThreads)),
      slots_(kMaxStreams), spectrum_(std::make_unique<Spectrum>()) {
    av_log_set_level(AV_LOG_QUIET); // damaged files are answered with error codes, not logs
}

SoundEngine::~SoundEngine() {
    pool_.reset();
    devices_.clear(); // stops every sink: no mixer runs from here on
    retiredDevices_.clear();
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

const std::vector<DeviceInfo>& SoundEngine::devices(bool refresh) {
    const auto maxAge = std::chrono::duration_cast<std::chrono::nanoseconds>(kDeviceListMaxAge);
    if (refresh || deviceListTime_ == 0 || nowNs() - deviceListTime_ > maxAge.count()) {
        deviceList_ = provider_ ? provider_->list() : std::vector<DeviceInfo>{};
        if (deviceList_.size() > static_cast<std::size_t>(kMaxDeviceNumber)) {
            deviceList_.resize(kMaxDeviceNumber);
        }
        deviceListTime_ = nowNs();
    }
    return deviceList_;
}

SoundEngine::Device* SoundEngine::device(int number) {
    const auto it = devices_.find(number);
    return it == devices_.end() ? nullptr : it->second.get();
}

bool SoundEngine::init(int device, std::uint32_t rate, std::uint32_t, void*) {
    device = device == -1 ? 1 : device;
    if (device < 0 || device > kMaxDeviceNumber) {
        return fail(kErrDevice);
    }
    if (Device* existing = this->device(device)) {
        if (!existing->mixer->deviceLost()) {
            return fail(kErrAlready);
        }
        // The device went away earlier: open it afresh. Its old streams keep their mixer.
        retiredDevices_.push_back(std::move(devices_[device]));
        devices_.erase(device);
    }
    auto created = std::make_unique<Device>();
    int error = kErrOk;
    if (device == 0) {
        created->sink =
            std::make_unique<ClockSink>(rate >= 8000 && rate <= 192000 ? rate : kDefaultRate);
    } else {
        const std::vector<DeviceInfo>& list = devices(true);
        if (static_cast<std::size_t>(device) > list.size()) {
            return fail(kErrDevice);
        }
        created->sink = provider_->open(list[static_cast<std::size_t>(device) - 1], error);
        if (!created->sink) {
            return fail(error);
        }
    }
    const std::uint32_t deviceRate = created->sink->rate();
    created->mixer = std::make_unique<Mixer>(deviceRate, blockFramesFor(deviceRate));
    if (!created->sink->start(*created->mixer)) {
        return fail(kErrDriver);
    }
    devices_[device] = std::move(created);
    current_ = device;
    lastError_ = kErrOk;
    return true;
}

std::optional<std::string> SoundEngine::deviceDescription(int device) {
    lastError_ = kErrOk;
    if (device == 0) {
        return std::string("No sound");
    }
    const std::vector<DeviceInfo>& list = devices(false);
    if (device < 1 || static_cast<std::size_t>(device) > list.size()) {
        fail(kErrDevice);
        return std::nullopt;
    }
    return list[static_cast<std::size_t>(device) - 1].description;
}

bool SoundEngine::setDevice(int device) {
    device = device == -1 ? 1 : device;
    if (device < 0 || device > kMaxDeviceNumber) {
        return fail(kErrDevice);
    }
    if (!this->device(device)) {
        return fail(kErrInit);
    }
    current_ = device;
    lastError_ = kErrOk;
    return true;
}

bool SoundEngine::setConfig(int option, std::uint32_t value) {
    if (option != kOptionBufferMs) {
        return fail(kErrIllegalType);
    }
    bufferMs_ = std::clamp(value, kMinBufferMs, kMaxBufferMs);
    lastError_ = kErrOk;
    return true;
}

StreamHandle SoundEngine::createFileStream(const std::string& path, std::uint32_t) {
    return createStream(path, false);
}

StreamHandle SoundEngine::createWmaStream(const std::string& pathOrUrl, std::uint32_t) {
    return createStream(pathOrUrl, pathOrUrl.find("://") != std::string::npos);
}

StreamHandle SoundEngine::createStream(const std::string& path, bool network) {
    collectFreed();
    Device* target = device(current_);
    if (!target) {
        fail(kErrInit);
        return 0;
    }
    const auto free =
        std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.stream; });
    if (free == slots_.end()) {
        fail(kErrNoChannel);
        return 0;
    }
    int error = kErrOk;
    auto source = MediaSource::open(path, network, target->mixer->rate(), error);
    if (!source) {
        fail(error);
        return 0;
    }
    auto stream = std::make_unique<Stream>(std::move(source), target->mixer->rate(), bufferMs_);
    stream->prime();
    Slot& slot = *free;
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
    lastError_ = kErrOk;
    const auto index = static_cast<std::uint32_t>(free - slots_.begin());
    return (slot.generation << kIndexBits) | (index + 1);
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

void SoundEngine::collectFreed() {
    std::erase_if(freed_, [](const std::unique_ptr<Stream>& s) {
        return s->pub.detached.load(std::memory_order_acquire);
    });
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
    // stays with the engine until it is destroyed.
    post(*slot, detach);
    freed_.push_back(std::move(slot->stream));
    slot->generation = (slot->generation + 1) & ((1u << (32 - kIndexBits)) - 1);
    slot->generation = slot->generation == 0 ? 1 : slot->generation;
    collectFreed();
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

bool SoundEngine::setAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                                std::int32_t pan) {
    Slot* slot = find(handle);
    if (!slot) {
        return fail(kErrHandle);
    }
    refreshShadow(*slot);
    const auto ownRate = static_cast<float>(slot->stream->format().rate);
    Command command;
    command.type = CommandType::SetAttributes;
    command.rate =
        rate == kKeepRate
            ? kKeep
            : (rate == 0 ? ownRate : std::clamp(static_cast<float>(rate), 100.0f, 100000.0f));
    command.volume =
        volume == kKeepVolume ? kKeep : static_cast<float>(std::clamp(volume, 0, 100)) / 100.0f;
    command.pan = pan == kKeepPan ? kKeep : static_cast<float>(std::clamp(pan, -100, 100)) / 100.0f;
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
    const auto ownRate = static_cast<float>(slot->stream->format().rate);
    Command command;
    command.type = CommandType::Slide;
    command.frames = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms) *
                                                slot->device->mixer->rate() / 1000);
    command.rate =
        rate == kKeepRate
            ? kKeep
            : (rate == 0 ? ownRate : std::clamp(static_cast<float>(rate), 100.0f, 100000.0f));
    command.toSilence = volume == kSlideToSilence;
    command.volume =
        volume == kKeepVolume
            ? kKeep
            : (command.toSilence ? 0.0f : static_cast<float>(std::clamp(volume, 0, 100)) / 100.0f);
    command.pan = pan == kKeepPan ? kKeep : static_cast<float>(std::clamp(pan, -100, 100)) / 100.0f;
    if (!post(*slot, command)) {
        return fail(kErrUnknown);
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
        return fail(kErrStart);
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
    const std::uint64_t frame = bytes / (2ull * format.channels);
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
    return frame * 2ull * slot->stream->format().channels;
}

std::uint64_t SoundEngine::length(StreamHandle handle) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return kBadPosition;
    }
    const SourceFormat& format = slot->stream->format();
    return format.lengthFrames * 2ull * format.channels;
}

double SoundEngine::bytesToSeconds(StreamHandle handle, std::uint64_t bytes) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return -1.0;
    }
    const SourceFormat& format = slot->stream->format();
    const std::uint64_t frames = bytes / (2ull * format.channels);
    return static_cast<double>(frames) / static_cast<double>(format.rate);
}

std::uint64_t SoundEngine::secondsToBytes(StreamHandle handle, double seconds) {
    Slot* slot = find(handle);
    if (!slot) {
        fail(kErrHandle);
        return kBadPosition;
    }
    const SourceFormat& format = slot->stream->format();
    if (!(seconds >= 0.0)) {
        fail(kErrIllegalParam);
        return kBadPosition;
    }
    const auto frames = static_cast<std::uint64_t>(seconds * format.rate + 1e-6);
    return frames * 2ull * format.channels;
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
    collectFreed();
    lastError_ = kErrOk;
    return true;
}

std::int64_t SoundEngine::playStartedNs(StreamHandle handle) {
    Slot* slot = find(handle);
    return slot ? slot->stream->pub.startedNs.load(std::memory_order_acquire) : 0;
}

double SoundEngine::outputLatencySeconds(int device) {
    Device* d = this->device(device);
    return d ? d->sink->latencySeconds() : 0.0;
}

std::uint64_t SoundEngine::outputUnderruns(int device) {
    Device* d = this->device(device);
    return d ? d->sink->underruns() : 0;
}

bool SoundEngine::deviceLost(int device) {
    Device* d = this->device(device);
    return d && d->mixer->deviceLost();
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

#include "sound_engine.h"

#include "combined_devices.h"
#include "decoder_pool.h"
#include "engine_units.h"
#include "jack_output.h"
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

#include <sys/eventfd.h>
#include <unistd.h>

namespace audio::engine {

namespace {

constexpr std::size_t kMaxStreams = 4095;
constexpr auto kSeekTimeout = std::chrono::seconds(5);
constexpr float kKeep = std::numeric_limits<float>::quiet_NaN();
constexpr float kMaxStreamGain = 16.0f; // +24 dB
constexpr float kMinRate = 100.0f;
constexpr float kMaxRate = 100000.0f;

} // namespace

SoundEngine::SoundEngine(std::unique_ptr<DeviceProvider> provider, unsigned decoderThreads)
    : provider_(std::move(provider)), pool_(std::make_unique<DecoderPool>(decoderThreads)),
      spectrum_(std::make_unique<Spectrum>()), reaper_(std::make_unique<StreamReaper>()),
      prefetch_(std::make_unique<StreamPrefetch>(*reaper_)),
      eventFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SoundEngine::~SoundEngine() {
    // Channels outliving the engine would reach a dead mixer: their owners go first.
    prefetch_.reset();
    pool_.reset();
    devices_.clear(); // stops every sink: no mixer runs from here on
    reaper_.reset();  // so what it still holds can go
    if (eventFd_ >= 0) {
        ::close(eventFd_);
    }
}

std::unique_ptr<SoundEngine> makeSoundEngine() {
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    return std::make_unique<SoundEngine>(
        std::make_unique<CombinedDeviceProvider>(std::make_unique<PulseDeviceProvider>(),
                                                 std::make_unique<JackDeviceProvider>()),
        std::min(cores, 4u));
}

void SoundEngine::setBufferLength(std::chrono::milliseconds length) {
    constexpr std::int64_t kMinBufferMs = 100;
    constexpr std::int64_t kMaxBufferMs = 10000;
    bufferMs_ = static_cast<std::uint32_t>(std::clamp(length.count(), kMinBufferMs, kMaxBufferMs));
}

Result<std::unique_ptr<Channel>> SoundEngine::open(int deviceNumber, const std::string& pathOrUrl) {
    Device* target = device(deviceNumber);
    if (!target) {
        return EngineError::DeviceNotOpen;
    }
    if (channels_.size() >= kMaxStreams) {
        return EngineError::NoFreeStream;
    }
    const bool network = pathOrUrl.find("://") != std::string::npos;
    const std::uint32_t rate = target->mixer->rate();
    std::unique_ptr<Stream> stream =
        network ? nullptr : prefetch_->take(pathOrUrl, rate, bufferMs_);
    if (!stream) {
        Failure error;
        auto source = MediaSource::open(pathOrUrl, network, rate, error);
        if (!source) {
            return *error;
        }
        stream = std::make_unique<Stream>(std::move(source), rate, bufferMs_);
        stream->prime();
    }
    const std::uint64_t id = nextChannelId_++;
    stream->id = id;
    Command attach;
    attach.type = CommandType::Attach;
    attach.stream = stream.get();
    if (!post(*target, attach)) {
        reaper_->release(std::move(stream), false);
        return EngineError::EngineStalled;
    }
    Stream* raw = stream.get();
    std::unique_ptr<Channel> channel(new Channel(*this, *target, std::move(stream), id));
    pool_->add(raw);
    channels_[id] = channel.get();
    return channel;
}

void SoundEngine::prefetchFiles(int deviceNumber, const std::vector<std::string>& paths) {
    if (Device* target = device(deviceNumber)) {
        prefetch_->replace(paths, target->mixer->rate(), bufferMs_);
    }
}

std::size_t SoundEngine::prefetchedCount() const {
    return prefetch_->parkedCount();
}

std::size_t SoundEngine::pendingFreeCount() const {
    return reaper_->pending();
}

// Hands a command to the mixer. The queue only fills if the mixer has stopped pulling blocks
// for a long time; then the call gives up rather than hang.
bool SoundEngine::post(Device& target, Command command) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (target.mixer->post(command)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void SoundEngine::forget(Channel& channel) {
    channels_.erase(channel.id_);
    pool_->remove(channel.stream_.get());
    Command detach;
    detach.type = CommandType::Detach;
    detach.stream = channel.stream_.get();
    // If the mixer has stopped pulling blocks the command cannot go; the stream then simply
    // stays with the reaper until the engine is destroyed.
    post(channel.device_, detach);
    reaper_->release(std::move(channel.stream_), true);
}

void SoundEngine::dispatchEvents() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(eventFd_, &count, sizeof count);
    for (auto& [number, dev] : devices_) {
        MixerEvent event;
        while (dev->mixer->nextEvent(event)) {
            // A handler may destroy any channel: each event looks its channel up afresh.
            const auto it = channels_.find(event.channel);
            if (it != channels_.end()) {
                it->second->deliver(ChannelEvent{event.kind});
            }
        }
    }
}

// ---- Channel ----

Channel::Channel(SoundEngine& engine, SoundEngine::Device& device, std::unique_ptr<Stream> stream,
                 std::uint64_t id)
    : engine_(engine), device_(device), stream_(std::move(stream)), id_(id) {
    const SourceFormat& format = stream_->format();
    info_.rate = format.rate;
    info_.channels = format.channels;
    info_.eightBit = format.eightBit;
    info_.length = Frames(static_cast<std::int64_t>(format.lengthFrames));
    rangeEnd_ = info_.length;
    rate_ = static_cast<float>(format.rate);
}

Channel::~Channel() {
    engine_.forget(*this);
}

bool Channel::post(Command command) {
    command.stream = stream_.get();
    command.seq = ++sentSeq_;
    if (engine_.post(device_, command)) {
        return true;
    }
    --sentSeq_;
    return false;
}

bool Channel::pending() const {
    return stream_->pub.appliedSeq.load(std::memory_order_acquire) != sentSeq_;
}

void Channel::refresh() const {
    if (pending()) {
        return;
    }
    const PublishedState& pub = stream_->pub;
    rate_ = pub.rate.load(std::memory_order_relaxed);
    volume_ = pub.volume.load(std::memory_order_relaxed);
    pan_ = pub.pan.load(std::memory_order_relaxed);
    fading_ = pub.fading.load(std::memory_order_relaxed);
    playing_ = pub.state.load(std::memory_order_acquire) != ChannelState::Stopped;
}

void Channel::deliver(ChannelEvent event) {
    // What the mixer did by itself shows at once, also while commands of ours are on the way.
    switch (event.kind) {
    case ChannelEvent::Kind::CueReached:
        fading_ = true;
        break;
    case ChannelEvent::Kind::CueStarted:
        playing_ = true;
        break;
    case ChannelEvent::Kind::Ended:
    case ChannelEvent::Kind::FadedOut:
    case ChannelEvent::Kind::DeviceLost:
        playing_ = false;
        fading_ = false;
        break;
    default:
        break;
    }
    if (handler_) {
        handler_(event);
    }
}

Frames Channel::position() const {
    const PublishedState& pub = stream_->pub;
    const bool seekPending = pub.appliedSeekSeq.load(std::memory_order_acquire) != seekSeq_;
    return seekPending
               ? seekTarget_
               : Frames(static_cast<std::int64_t>(pub.position.load(std::memory_order_acquire)));
}

ChannelState Channel::state() const {
    if (pending()) {
        return playing_ ? ChannelState::Playing : ChannelState::Stopped;
    }
    return stream_->pub.state.load(std::memory_order_acquire);
}

std::int64_t Channel::startedNs() const {
    return stream_->pub.startedNs.load(std::memory_order_acquire);
}

Failure Channel::seek(Frames position) {
    if (position < Frames(0) || position > info_.length) {
        return EngineError::BadPosition;
    }
    awaitSeek(stream_->requestSeek(static_cast<std::uint64_t>(position.count())), position);
    return {};
}

void Channel::awaitSeek(std::uint32_t seq, Frames target) {
    seekSeq_ = seq;
    seekTarget_ = target;
    engine_.pool_->wake();
    // The worker answers once the first buffer at the new place is decoded.
    stream_->waitSeek(seekSeq_, kSeekTimeout);
}

Failure Channel::setPlayRange(Frames start, Frames end) {
    const bool lengthKnown = info_.length > Frames(0);
    if (start < Frames(0) || end <= start || (lengthKnown && end > info_.length)) {
        return EngineError::BadPosition;
    }
    PlayRange range;
    range.start = static_cast<std::uint64_t>(start.count());
    range.end = static_cast<std::uint64_t>(end.count());
    rangeStart_ = start;
    rangeEnd_ = end;
    awaitSeek(stream_->requestRange(range), start);
    return {};
}

Failure Channel::play() {
    if (device_.mixer->deviceLost()) {
        return EngineError::DeviceGone; // until the output is back
    }
    refresh();
    if (playing_) {
        return {};
    }
    const PublishedState& pub = stream_->pub;
    const bool seekPending = pub.appliedSeekSeq.load(std::memory_order_acquire) != seekSeq_;
    if (!seekPending && pub.ended.load(std::memory_order_relaxed)) {
        seek(rangeStart_);
    }
    stream_->pub.startedNs.store(0, std::memory_order_relaxed);
    Command command;
    command.type = CommandType::Play;
    if (!post(command)) {
        return EngineError::EngineStalled;
    }
    playing_ = true;
    // Only now wake the decoders to fill the whole buffer: the start is already decoded, and
    // waking them first could delay the command.
    stream_->setPlaying(true);
    engine_.pool_->wake();
    return {};
}

void Channel::stop() {
    Command command;
    command.type = CommandType::Stop;
    if (post(command)) {
        stream_->setPlaying(false);
        playing_ = false;
        fading_ = false;
    }
}

namespace {

Command attributes(CommandType type, float rate, float volume, float pan) {
    Command command;
    command.type = type;
    command.rate = rate;
    command.volume = volume;
    command.pan = pan;
    return command;
}

} // namespace

void Channel::setVolume(float volume) {
    volume = std::clamp(volume, 0.0f, 1.0f);
    if (post(attributes(CommandType::SetAttributes, kKeep, volume, kKeep))) {
        volume_ = volume;
    }
}

void Channel::setPan(float pan) {
    pan = std::clamp(pan, -1.0f, 1.0f);
    if (post(attributes(CommandType::SetAttributes, kKeep, kKeep, pan))) {
        pan_ = pan;
    }
}

void Channel::setRate(float hz) {
    hz = hz <= 0.0f ? static_cast<float>(info_.rate) : std::clamp(hz, kMinRate, kMaxRate);
    if (post(attributes(CommandType::SetAttributes, hz, kKeep, kKeep))) {
        rate_ = hz;
    }
}

float Channel::volume() const {
    refresh();
    return volume_;
}

float Channel::pan() const {
    refresh();
    return pan_;
}

float Channel::rate() const {
    refresh();
    return rate_;
}

void Channel::fadeOut(Frames duration) {
    Command command = attributes(CommandType::Slide, kKeep, 0.0f, kKeep);
    command.toSilence = true;
    // Clamped: a slide of days would otherwise wrap round to a few seconds.
    command.frames = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(duration.count(), 0, std::numeric_limits<std::uint32_t>::max()));
    if (!post(command)) {
        return;
    }
    if (command.frames == 0) {
        playing_ = false; // a fade to silence in no time is a stop
        stream_->setPlaying(false);
    } else {
        fading_ = true;
    }
}

bool Channel::isFading() const {
    refresh();
    return fading_;
}

Failure Channel::setGain(float gain) {
    if (!std::isfinite(gain) || gain < 0.0f || gain > kMaxStreamGain) {
        return EngineError::BadParameter;
    }
    Command command;
    command.type = CommandType::SetGain;
    command.gain = gain;
    return post(command) ? Failure{} : Failure{EngineError::EngineStalled};
}

void Channel::setLoop(bool loop) {
    Command command;
    command.type = CommandType::SetLoop;
    command.loop = loop;
    if (post(command)) {
        stream_->setLoop(loop);
        engine_.pool_->wake();
    }
}

Failure Channel::armCue(Frames at, Channel* next, Frames fade) {
    if (next != nullptr && &next->device_ != &device_) {
        return EngineError::NoSuchDevice;
    }
    Command command;
    command.type = CommandType::ArmCue;
    command.at = static_cast<std::uint64_t>(std::max<std::int64_t>(at.count(), 0));
    command.next = next != nullptr ? next->stream_.get() : nullptr;
    command.frames = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(fade.count(), 0, std::numeric_limits<std::uint32_t>::max()));
    if (!post(command)) {
        return EngineError::EngineStalled;
    }
    if (next != nullptr) {
        // The next channel will start without a call from here: have its buffer full by then.
        next->stream_->setPlaying(true);
        engine_.pool_->wake();
    }
    return {};
}

void Channel::cancelCue() {
    Command command;
    command.type = CommandType::CancelCue;
    post(command);
}

bool Channel::spectrum(std::span<float, SoundEngine::kFftBins> out) const {
    if (state() != ChannelState::Playing) {
        return false;
    }
    const PublishedState& pub = stream_->pub;
    const std::uint32_t end = pub.historyPos.load(std::memory_order_acquire);
    std::array<float, Spectrum::kSize> samples{};
    for (std::size_t i = 0; i < Spectrum::kSize; ++i) {
        const std::uint32_t at =
            end - static_cast<std::uint32_t>(Spectrum::kSize) + static_cast<std::uint32_t>(i);
        if (end >= Spectrum::kSize || at < end) {
            samples[i] = pub.history[at % kHistoryFrames].load(std::memory_order_relaxed);
        }
    }
    engine_.spectrum_->compute(samples, out.data());
    return true;
}

bool Channel::waitBuffered(std::size_t frames, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (stream_->readyFrames() < frames && !stream_->decodedToEnd()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        engine_.pool_->wake();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace audio::engine

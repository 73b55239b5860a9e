#include "audio/fake_sound_api.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio::testing {

namespace {
constexpr int kDeviceCount = 12;
std::uint64_t bytesPerFrame(const FakeSoundApi::Channel& c) {
    return 2u * c.media.chans;
}
} // namespace

FakeSoundApi::FakeSoundApi() {
    descriptions_[0] = "No sound";
    descriptions_[1] = "Default output";
}

void FakeSoundApi::addMedia(const std::string& path, Media media) {
    media_[path] = media;
}

void FakeSoundApi::failCreate(const std::string& path, int error, int times) {
    createFailures_[path] = {error, times};
}

void FakeSoundApi::giveNullHandle(const std::string& path) {
    nullHandles_.insert(path);
}

void FakeSoundApi::setDescription(int device, std::optional<std::string> text) {
    descriptions_[device] = std::move(text);
}

void FakeSoundApi::stall(StreamHandle handle) {
    channels_.at(handle).state = kChannelStalled;
}

void FakeSoundApi::freezeSlide(StreamHandle handle) {
    channels_.at(handle).slideFrozen = true;
}

void FakeSoundApi::advance(std::uint32_t ms) {
    for (auto& [handle, c] : channels_) {
        advanceChannel(c, ms);
    }
}

void FakeSoundApi::advanceChannel(Channel& c, double ms) {
    if (c.state != kChannelPlaying) {
        return;
    }
    if (c.sliding && !c.slideFrozen) {
        c.slideElapsedMs = std::min<double>(c.slideElapsedMs + ms, c.slideMs);
        c.volume = c.slideFrom * (c.slideMs - c.slideElapsedMs) / c.slideMs;
        if (c.slideElapsedMs >= c.slideMs) {
            c.sliding = false;
            c.state = kChannelStopped; // a slide to silence stops the channel
            return;
        }
    }
    c.position += ms * c.media.rate / 1000.0;
    if (c.position < static_cast<double>(c.frames)) {
        return;
    }
    if ((c.flags & kChannelLoop) != 0) {
        c.position = std::fmod(c.position, static_cast<double>(c.frames));
        return;
    }
    c.position = static_cast<double>(c.frames);
    c.state = kChannelStopped;
}

FakeSoundApi::Channel* FakeSoundApi::channel(StreamHandle handle) {
    const auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : &it->second;
}

int FakeSoundApi::initCalls(int device) const {
    const auto it = initCalls_.find(device);
    return it == initCalls_.end() ? 0 : it->second;
}

bool FakeSoundApi::fail(int error) {
    error_ = error;
    return false;
}

bool FakeSoundApi::ok() {
    error_ = kErrOk;
    return true;
}

FakeSoundApi::Channel* FakeSoundApi::find(StreamHandle handle) {
    Channel* c = channel(handle);
    if (c == nullptr) {
        fail(kErrHandle);
    }
    return c;
}

bool FakeSoundApi::init(int device, std::uint32_t, std::uint32_t, void*) {
    ++initCalls_[device];
    if (const auto it = initFailures_.find(device); it != initFailures_.end()) {
        return fail(it->second);
    }
    if (device < 0 || device >= kDeviceCount) {
        return fail(kErrDevice);
    }
    if (!initialised_.insert(device).second) {
        return fail(kErrAlready);
    }
    return ok();
}

std::optional<std::string> FakeSoundApi::deviceDescription(int device) {
    const auto it = descriptions_.find(device);
    if (it == descriptions_.end() || !it->second) {
        fail(kErrDevice);
        return std::nullopt;
    }
    ok();
    return it->second;
}

bool FakeSoundApi::setDevice(int device) {
    device_ = -1;
    if (!initialised_.contains(device)) {
        return fail(kErrInit);
    }
    device_ = device;
    return ok();
}

bool FakeSoundApi::deviceUsable(int device) {
    if (device < 0 || device >= kDeviceCount) {
        return fail(kErrDevice);
    }
    if (!initialised_.contains(device)) {
        return fail(kErrInit);
    }
    return lostDevices_.contains(device) ? fail(kErrStart) : ok();
}

void FakeSoundApi::loseDevice(int device) {
    lostDevices_.insert(device);
    for (auto& [handle, c] : channels_) {
        if (c.device == device) {
            c.state = kChannelStopped;
            c.sliding = false;
        }
    }
}

bool FakeSoundApi::setConfig(int option, std::uint32_t value) {
    if (option == kOptionBufferMs) {
        bufferMs_ = static_cast<int>(value);
    }
    return ok();
}

StreamHandle FakeSoundApi::createFileStream(const std::string& path, std::uint32_t flags) {
    return create(path, false, flags);
}

StreamHandle FakeSoundApi::createWmaStream(const std::string& pathOrUrl, std::uint32_t flags) {
    return create(pathOrUrl, true, flags);
}

StreamHandle FakeSoundApi::create(const std::string& path, bool wma, std::uint32_t flags) {
    StreamHandle handle = 0;
    if (auto it = createFailures_.find(path);
        it != createFailures_.end() && it->second.second > 0) {
        --it->second.second;
        fail(it->second.first);
    } else if (nullHandles_.contains(path)) {
        ok();
    } else if (device_ < 0) {
        fail(kErrInit); // a failed device choice leaves no device to create the stream on
    } else if (const auto media = media_.find(path); media == media_.end()) {
        fail(kErrFileOpen);
    } else {
        handle = nextHandle_++;
        Channel& c = channels_[handle];
        c.path = path;
        c.wma = wma;
        c.media = media->second;
        c.frames = media->second.lengthMs * media->second.rate / 1000;
        c.rate = media->second.rate;
        c.device = device_;
        ok();
    }
    creations_.push_back({path, wma, flags, handle});
    return handle;
}

bool FakeSoundApi::freeStream(StreamHandle handle) {
    ++freeCalls_;
    if (find(handle) == nullptr) {
        return false;
    }
    if (freeFailures_ > 0) {
        --freeFailures_;
        return fail(kErrNoChannel);
    }
    channels_.erase(handle);
    return ok();
}

bool FakeSoundApi::channelInfo(StreamHandle handle, ChannelInfo& info) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    info = {c->media.rate, c->media.chans, c->media.eightBit ? kInfo8Bits : 0u};
    return ok();
}

bool FakeSoundApi::getAttributes(StreamHandle handle, std::uint32_t* rate, std::uint32_t* volume,
                                 std::int32_t* pan) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    *rate = c->rate;
    *volume = static_cast<std::uint32_t>(c->volume);
    *pan = c->pan;
    return ok();
}

bool FakeSoundApi::setAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                                 std::int32_t pan) {
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    if (volume > 100 || pan < -101 || pan > 100) {
        return fail(kErrIllegalParam);
    }
    if (rate > 0) {
        c->rate = static_cast<std::uint32_t>(rate);
    }
    if (volume >= 0) {
        c->volume = volume;
        c->sliding = false;
    }
    if (pan != kKeepPan) {
        c->pan = pan;
    }
    return ok();
}

bool FakeSoundApi::slideAttributes(StreamHandle handle, std::int32_t, std::int32_t volume,
                                   std::int32_t, std::uint32_t ms) {
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    slides_.push_back(ms);
    if (volume != kSlideToSilence || ms == 0) {
        return fail(kErrIllegalParam);
    }
    c->sliding = true;
    c->slideFrom = c->volume;
    c->slideElapsedMs = 0;
    c->slideMs = ms;
    return ok();
}

std::uint32_t FakeSoundApi::isSliding(StreamHandle handle) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return 0;
    }
    ok();
    return c->sliding ? kSlidingVolume : 0;
}

bool FakeSoundApi::setStreamGain(StreamHandle handle, float gain) {
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    c->gain = gain;
    return ok();
}

bool FakeSoundApi::play(StreamHandle handle, bool restart) {
    ++playCalls_;
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    if (playFailures_ > 0) {
        --playFailures_;
        return fail(kErrHandle);
    }
    if (lostDevices_.contains(c->device)) {
        return fail(kErrStart);
    }
    if (restart) {
        c->position = 0;
    }
    c->state = kChannelPlaying;
    return ok();
}

bool FakeSoundApi::stop(StreamHandle handle) {
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    c->state = kChannelStopped;
    c->sliding = false;
    return ok();
}

int FakeSoundApi::isActive(StreamHandle handle) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return kChannelStopped;
    }
    ok();
    return c->state;
}

bool FakeSoundApi::setFlags(StreamHandle handle, std::uint32_t flags) {
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    c->flags = flags;
    return ok();
}

bool FakeSoundApi::setPosition(StreamHandle handle, std::uint64_t bytes) {
    Channel* c = find(handle);
    if (c == nullptr) {
        return false;
    }
    const std::uint64_t frame = bytes / bytesPerFrame(*c);
    if (frame > c->frames) {
        return fail(kErrPosition);
    }
    c->position = static_cast<double>(frame);
    return ok();
}

std::uint64_t FakeSoundApi::position(StreamHandle handle) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return ~std::uint64_t{0};
    }
    ok();
    return static_cast<std::uint64_t>(c->position) * bytesPerFrame(*c);
}

std::uint64_t FakeSoundApi::length(StreamHandle handle) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return ~std::uint64_t{0};
    }
    ok();
    return c->frames * bytesPerFrame(*c);
}

double FakeSoundApi::bytesToSeconds(StreamHandle handle, std::uint64_t bytes) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return -1;
    }
    ok();
    return static_cast<double>(bytes) / static_cast<double>(bytesPerFrame(*c) * c->media.rate);
}

std::uint64_t FakeSoundApi::secondsToBytes(StreamHandle handle, double seconds) {
    const Channel* c = find(handle);
    if (c == nullptr) {
        return ~std::uint64_t{0};
    }
    ok();
    return static_cast<std::uint64_t>(std::floor(seconds * c->media.rate)) * bytesPerFrame(*c);
}

std::int32_t FakeSoundApi::getData(StreamHandle handle, void* buffer, std::uint32_t request) {
    if (find(handle) == nullptr) {
        return -1;
    }
    if (failData_ || request != kDataFft512) {
        fail(kErrNotAvail);
        return -1;
    }
    std::vector<float> bins(kFft512Bins, 0.0f);
    std::copy_n(fft_.begin(), std::min<std::size_t>(fft_.size(), bins.size()), bins.begin());
    std::memcpy(buffer, bins.data(), bins.size() * sizeof(float));
    ok();
    return kFft512Bins * static_cast<std::int32_t>(sizeof(float));
}

bool FakeSoundApi::update() {
    ++updateCalls_;
    return ok();
}

} // namespace audio::testing

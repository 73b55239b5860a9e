// Devices of the sound engine: listing, initialising, choosing, and what they report.
#include "sound_engine.h"

#include "engine_units.h"
#include "sound_engine_parts.h"

#include <algorithm>
#include <chrono>

namespace audio::engine {

namespace {

constexpr int kMaxDeviceNumber = 10;
constexpr std::uint32_t kDefaultRate = 44100;
constexpr std::uint32_t kMinBufferMs = 100;
constexpr std::uint32_t kMaxBufferMs = 10000;
constexpr auto kDeviceListMaxAge = std::chrono::seconds(1);

} // namespace

const std::vector<DeviceInfo>& SoundEngine::devices(bool refresh) {
    const auto maxAge = std::chrono::duration_cast<std::chrono::nanoseconds>(kDeviceListMaxAge);
    if (refresh || deviceListTime_ == 0 || monotonicNs() - deviceListTime_ > maxAge.count()) {
        deviceList_ = provider_ ? provider_->list() : std::vector<DeviceInfo>{};
        if (deviceList_.size() > static_cast<std::size_t>(kMaxDeviceNumber)) {
            deviceList_.resize(kMaxDeviceNumber);
        }
        deviceListTime_ = monotonicNs();
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
        return reconnect(*existing, device);
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

// The device's output went away and has not come back by itself yet: one attempt now, on the
// same sink (by its name, whatever number the server's list gives it today). Its mixer and
// streams stay; they play again once it is back.
bool SoundEngine::reconnect(Device& existing, int device) {
    if (!existing.mixer->deviceLost()) {
        return fail(kErrAlready);
    }
    const int error = existing.sink->reconnect();
    if (error != kErrOk) {
        return fail(error);
    }
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

// A failed choice selects no device: a stream created next must not land on the device chosen
// before.
bool SoundEngine::setDevice(int device) {
    device = device == -1 ? 1 : device;
    current_ = -1;
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

bool SoundEngine::deviceUsable(int device) {
    device = device == -1 ? 1 : device;
    if (device < 0 || device > kMaxDeviceNumber) {
        return fail(kErrDevice);
    }
    const Device* d = this->device(device);
    if (!d) {
        return fail(kErrInit);
    }
    if (d->mixer->deviceLost()) {
        return fail(kErrStart);
    }
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

double SoundEngine::outputLatencySeconds(int device) {
    Device* d = this->device(device);
    return d ? d->sink->latencySeconds() : 0.0;
}

std::uint64_t SoundEngine::outputUnderruns(int device) {
    Device* d = this->device(device);
    return d ? d->sink->underruns() : 0;
}

std::uint32_t SoundEngine::outputBufferMs(int device) {
    Device* d = this->device(device);
    return d ? d->sink->bufferMs() : 0;
}

} // namespace audio::engine

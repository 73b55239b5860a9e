// Devices of the sound engine: listing, opening, and what they report.
#include "sound_engine.h"

#include "engine_units.h"
#include "sound_engine_parts.h"

#include <algorithm>
#include <chrono>

namespace audio::engine {

namespace {

// Numbers up to this one always name a device, open or not; the ones above it (JACK pairs
// after a full list of sinks) only while they are listed.
constexpr int kMaxServerDeviceNumber = 10;
constexpr std::uint32_t kNoSoundRate = 44100;
constexpr auto kDeviceListMaxAge = std::chrono::seconds(1);

bool isDeviceNumber(int device, const std::vector<DeviceInfo>& listed) {
    return device >= 0 && (device <= kMaxServerDeviceNumber ||
                           (device <= SoundEngine::kMaxDevice &&
                            static_cast<std::size_t>(device) <= listed.size()));
}

} // namespace

const std::vector<DeviceInfo>& SoundEngine::devices(bool refresh) {
    const auto maxAge = std::chrono::duration_cast<std::chrono::nanoseconds>(kDeviceListMaxAge);
    if (refresh || deviceListTime_ == 0 || monotonicNs() - deviceListTime_ > maxAge.count()) {
        deviceList_ = provider_ ? provider_->list() : std::vector<DeviceInfo>{};
        if (deviceList_.size() > static_cast<std::size_t>(kMaxDevice)) {
            deviceList_.resize(kMaxDevice);
        }
        deviceListTime_ = monotonicNs();
    }
    return deviceList_;
}

SoundEngine::Device* SoundEngine::device(int number) const {
    const auto it = devices_.find(number);
    return it == devices_.end() ? nullptr : it->second.get();
}

Failure SoundEngine::openDevice(int number) {
    if (!isDeviceNumber(number, devices(number > kMaxServerDeviceNumber))) {
        return EngineError::NoSuchDevice;
    }
    if (Device* existing = device(number)) {
        return reconnect(*existing);
    }
    auto created = std::make_unique<Device>();
    if (number == kNoSoundDevice) {
        created->sink = std::make_unique<ClockSink>(kNoSoundRate);
    } else {
        const std::vector<DeviceInfo>& list = devices(true);
        if (static_cast<std::size_t>(number) > list.size()) {
            return EngineError::NoSuchDevice;
        }
        Failure error;
        created->sink = provider_->open(list[static_cast<std::size_t>(number) - 1], error);
        if (!created->sink) {
            return error ? error : Failure(EngineError::DeviceFailed);
        }
    }
    const std::uint32_t rate = created->sink->rate();
    created->mixer = std::make_unique<Mixer>(rate, blockFramesFor(rate), eventFd_);
    if (!created->sink->start(*created->mixer)) {
        return EngineError::DeviceFailed;
    }
    devices_[number] = std::move(created);
    return {};
}

// The device's output went away and has not come back by itself yet: one attempt now, on the
// same sink (by its name, whatever number the server's list gives it today). Its mixer and
// channels stay; they play again once it is back.
Failure SoundEngine::reconnect(Device& existing) {
    if (!existing.mixer->deviceLost()) {
        return EngineError::AlreadyOpen;
    }
    return existing.sink->reconnect();
}

std::optional<std::string> SoundEngine::deviceDescription(int number) {
    if (number == kNoSoundDevice) {
        return std::string("No sound");
    }
    const std::vector<DeviceInfo>& list = devices(false);
    if (number < 1 || static_cast<std::size_t>(number) > list.size()) {
        return std::nullopt;
    }
    return list[static_cast<std::size_t>(number) - 1].description;
}

std::vector<std::string> SoundEngine::devicePorts(int number) {
    const std::vector<DeviceInfo>& list = devices(false);
    if (number < 1 || static_cast<std::size_t>(number) > list.size()) {
        return {};
    }
    return list[static_cast<std::size_t>(number) - 1].jackPorts;
}

std::optional<int> SoundEngine::deviceWithPorts(const std::vector<std::string>& ports) {
    const std::vector<DeviceInfo>& list = devices(false);
    for (std::size_t i = 0; i < list.size() && !ports.empty(); ++i) {
        if (list[i].jackPorts == ports) {
            return static_cast<int>(i) + 1;
        }
    }
    return std::nullopt;
}

Failure SoundEngine::deviceProblem(int number) const {
    if (!isDeviceNumber(number, deviceList_) && !device(number)) {
        return EngineError::NoSuchDevice;
    }
    const Device* d = device(number);
    if (!d) {
        return EngineError::DeviceNotOpen;
    }
    if (d->mixer->deviceLost()) {
        return EngineError::DeviceGone;
    }
    return {};
}

std::uint32_t SoundEngine::deviceRate(int number) const {
    const Device* d = device(number);
    return d ? d->mixer->rate() : 0;
}

double SoundEngine::outputLatencySeconds(int number) {
    Device* d = device(number);
    return d ? d->sink->latencySeconds() : 0.0;
}

std::uint64_t SoundEngine::outputUnderruns(int number) {
    Device* d = device(number);
    return d ? d->sink->underruns() : 0;
}

std::uint32_t SoundEngine::outputBufferMs(int number) {
    Device* d = device(number);
    return d ? d->sink->bufferMs() : 0;
}

} // namespace audio::engine

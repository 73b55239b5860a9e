#include "combined_devices.h"

namespace audio::engine {

CombinedDeviceProvider::CombinedDeviceProvider(std::unique_ptr<DeviceProvider> server,
                                               std::unique_ptr<DeviceProvider> jack)
    : server_(std::move(server)), jack_(std::move(jack)) {}

std::vector<DeviceInfo> CombinedDeviceProvider::list() {
    std::vector<DeviceInfo> devices = server_->list();
    if (devices.size() > kMaxServerDevices) {
        devices.resize(kMaxServerDevices);
    }
    std::vector<DeviceInfo> pairs = jack_->list();
    for (std::size_t i = 0; i < pairs.size() && i < kMaxJackDevices; ++i) {
        devices.push_back(std::move(pairs[i]));
    }
    return devices;
}

std::unique_ptr<OutputSink> CombinedDeviceProvider::open(const DeviceInfo& device, Failure& error) {
    return device.jackPorts.empty() ? server_->open(device, error) : jack_->open(device, error);
}

} // namespace audio::engine

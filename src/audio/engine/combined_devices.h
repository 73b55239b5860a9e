#pragma once
// The devices the program offers after "no sound": the sound server's sinks first (so they keep
// their numbers whatever JACK does), then JACK's port pairs when a JACK server runs.

#include "output_sink.h"

#include <memory>

namespace audio::engine {

class CombinedDeviceProvider final : public DeviceProvider {
public:
    static constexpr std::size_t kMaxServerDevices = 10;
    static constexpr std::size_t kMaxJackDevices = 8;

    CombinedDeviceProvider(std::unique_ptr<DeviceProvider> server,
                           std::unique_ptr<DeviceProvider> jack);
    std::vector<DeviceInfo> list() override;
    std::unique_ptr<OutputSink> open(const DeviceInfo& device, Failure& error) override;

private:
    std::unique_ptr<DeviceProvider> server_;
    std::unique_ptr<DeviceProvider> jack_;
};

} // namespace audio::engine

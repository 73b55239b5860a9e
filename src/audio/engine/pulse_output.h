#pragma once
// Output through the PulseAudio client library (PulseAudio, or PipeWire's pulse service).

#include "output_sink.h"

#include <memory>

namespace audio::engine {

// Lists the server's sinks and opens streams on them. Never starts a server of its own.
class PulseDeviceProvider final : public DeviceProvider {
public:
    std::vector<DeviceInfo> list() override;
    std::unique_ptr<OutputSink> open(const DeviceInfo& device, int& error) override;
};

} // namespace audio::engine

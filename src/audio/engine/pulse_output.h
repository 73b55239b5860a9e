#pragma once
// Output through the PulseAudio client library (PulseAudio, or PipeWire's pulse service).

#include "output_sink.h"

#include <memory>

namespace audio::engine {

// Lists the server's sinks and opens streams on them. Never starts a server of its own. An
// opened output outlives the server: when the server or the sink goes away, it marks its mixer
// lost and opens the same sink (by name) again by itself once it is back.
class PulseDeviceProvider final : public DeviceProvider {
public:
    std::vector<DeviceInfo> list() override;
    std::unique_ptr<OutputSink> open(const DeviceInfo& device, Failure& error) override;
};

} // namespace audio::engine

#pragma once
// Output through JACK. The program is one JACK client ("Bandora"); every JACK device in use
// adds a stereo pair of output ports to it, connected to the device's two playback ports, and
// its mixer renders in the client's process callback at the server's period and rate.

#include "output_sink.h"

#include <memory>
#include <string>
#include <vector>

namespace audio::engine {

class JackClient;

// Lists the playback ports of the JACK graph in stereo pairs and opens outputs on them. Never
// starts a server: without one the list is empty, at once and without a message. An opened
// output outlives the server: when it stops or restarts, the output marks its mixer lost and
// reconnects by itself (new client, ports, connections by port name) once the server is back.
class JackDeviceProvider final : public DeviceProvider {
public:
    static constexpr std::size_t kMaxDevices = 8;

    // `serverName`: empty for the default server (JACK_DEFAULT_SERVER, else "default").
    explicit JackDeviceProvider(std::string serverName = {});
    ~JackDeviceProvider() override;
    std::vector<DeviceInfo> list() override;
    std::unique_ptr<OutputSink> open(const DeviceInfo& device, Failure& error) override;

private:
    std::shared_ptr<JackClient> client_;
};

// Pairs consecutive ports of the same client ("system:playback_1" with "system:playback_2");
// a client's odd last port is left out. At most `maxPairs`.
std::vector<DeviceInfo> pairPlaybackPorts(const std::vector<std::string>& ports,
                                          std::size_t maxPairs);

// What the operator sees for a pair: "JACK: system playback 1/2".
std::string describePortPair(const std::string& left, const std::string& right);

} // namespace audio::engine

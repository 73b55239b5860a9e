#include "jack_output.h"

#include "jack_client.h"
#include "mixer.h"

#include <cctype>

namespace audio::engine {

namespace {

struct PortName {
    std::string client; // before the first ':'
    std::string port;   // after it
};

PortName splitPortName(const std::string& full) {
    const std::size_t colon = full.find(':');
    if (colon == std::string::npos) {
        return {std::string(), full};
    }
    return {full.substr(0, colon), full.substr(colon + 1)};
}

// "playback_1" -> stem "playback", number "1"; a name without a trailing number has none.
struct NumberedName {
    std::string stem;
    std::string number;
};

NumberedName splitNumber(const std::string& name) {
    std::size_t end = name.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(name[end - 1]))) {
        --end;
    }
    std::string stem = name.substr(0, end);
    while (!stem.empty() && (stem.back() == '_' || stem.back() == ' ' || stem.back() == '-')) {
        stem.pop_back();
    }
    return {stem, name.substr(end)};
}

std::string spaced(std::string text) {
    for (char& c : text) {
        c = c == '_' ? ' ' : c;
    }
    return text;
}

// The output of one JACK device: a slot of the program's one JACK client.
class JackSink final : public OutputSink {
public:
    JackSink(std::shared_ptr<JackClient> client, std::vector<std::string> ports, std::uint32_t rate)
        : client_(std::move(client)), ports_(std::move(ports)), rate_(rate) {}
    ~JackSink() override { stop(); }

    std::uint32_t rate() const override { return rate_; }
    bool start(Mixer& mixer) override {
        slot_ = client_->attach(ports_, mixer);
        return slot_ >= 0;
    }
    void stop() override {
        client_->detach(slot_);
        slot_ = -1;
    }
    double latencySeconds() override { return client_->latencySeconds(slot_); }
    // JACK counts xruns for the whole server, and so for every JACK device alike.
    std::uint64_t underruns() const override { return client_->xruns(); }
    std::uint32_t bufferMs() override { return client_->periodMs(); }
    Failure reconnect() override { return client_->reconnect(slot_); }

private:
    const std::shared_ptr<JackClient> client_;
    const std::vector<std::string> ports_;
    const std::uint32_t rate_;
    int slot_ = -1;
};

} // namespace

std::string describePortPair(const std::string& left, const std::string& right) {
    const PortName l = splitPortName(left);
    const PortName r = splitPortName(right);
    const NumberedName ln = splitNumber(l.port);
    const NumberedName rn = splitNumber(r.port);
    const std::string prefix = "JACK: " + (l.client.empty() ? std::string() : l.client + " ");
    if (!ln.number.empty() && !rn.number.empty() && ln.stem == rn.stem) {
        return prefix + spaced(ln.stem) + (ln.stem.empty() ? "" : " ") + ln.number + "/" +
               rn.number;
    }
    return prefix + spaced(l.port) + "/" + spaced(r.port);
}

std::vector<DeviceInfo> pairPlaybackPorts(const std::vector<std::string>& ports,
                                          std::size_t maxPairs) {
    std::vector<DeviceInfo> pairs;
    for (std::size_t i = 0; i + 1 < ports.size() && pairs.size() < maxPairs;) {
        if (splitPortName(ports[i]).client != splitPortName(ports[i + 1]).client) {
            ++i; // the last port of its client has no partner
            continue;
        }
        DeviceInfo pair;
        pair.name = ports[i] + "," + ports[i + 1];
        pair.description = describePortPair(ports[i], ports[i + 1]);
        pair.jackPorts = {ports[i], ports[i + 1]};
        pairs.push_back(std::move(pair));
        i += 2;
    }
    return pairs;
}

JackDeviceProvider::JackDeviceProvider(std::string serverName)
    : client_(std::make_shared<JackClient>(std::move(serverName))) {}

JackDeviceProvider::~JackDeviceProvider() = default;

std::vector<DeviceInfo> JackDeviceProvider::list() {
    return pairPlaybackPorts(client_->playbackPorts(), kMaxDevices);
}

std::unique_ptr<OutputSink> JackDeviceProvider::open(const DeviceInfo& device, Failure& error) {
    Result<std::uint32_t> rate = client_->prepare(device.jackPorts);
    if (!rate) {
        error = rate.error();
        return nullptr;
    }
    return std::make_unique<JackSink>(client_, device.jackPorts, rate.value());
}

} // namespace audio::engine

#pragma once
// Where a mixer's blocks go: a sound server stream, a real-time clock that discards them
// (device 0, "no sound"), or a clock that a test advances by hand.

#include "engine_types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace audio::engine {

class Mixer;

class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual std::uint32_t rate() const = 0;
    // From now on the sink pulls blocks from `mixer` on its own thread.
    virtual bool start(Mixer& mixer) = 0;
    // After stop() returns the sink never touches the mixer again.
    virtual void stop() = 0;
    // Output latency that the sound server reports for the stream, in seconds.
    virtual double latencySeconds() { return 0.0; }
    virtual std::uint64_t underruns() const { return 0; }
    // The latency target (ms) the sound server has agreed to for the stream (0: no server).
    virtual std::uint32_t bufferMs() { return 0; }
    // After the mixer was marked lost: one attempt, at once, to reach the same device again.
    // Empty when the device is back. A sink that cannot be lost has nothing to do.
    virtual Failure reconnect() { return {}; }
};

// Consumes audio in real time and discards it: a thread that wakes on an absolute clock once
// per block, so timing does not drift however long it runs.
class ClockSink final : public OutputSink {
public:
    explicit ClockSink(std::uint32_t rate);
    ~ClockSink() override;
    std::uint32_t rate() const override { return rate_; }
    bool start(Mixer& mixer) override;
    void stop() override;

private:
    void run(Mixer& mixer);

    const std::uint32_t rate_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

// A sink whose clock the caller advances: render() runs the mixer on the calling thread.
// Keeps what was rendered when asked to, so tests can look at the samples.
class ManualSink final : public OutputSink {
public:
    explicit ManualSink(std::uint32_t rate) : rate_(rate) {}
    std::uint32_t rate() const override { return rate_; }
    bool start(Mixer& mixer) override;
    void stop() override { mixer_ = nullptr; }

    void render(std::size_t frames);
    void setCapture(bool capture) { capture_ = capture; }
    // Interleaved stereo frames rendered while capturing.
    const std::vector<float>& captured() const { return captured_; }
    void clearCaptured() { captured_.clear(); }

private:
    const std::uint32_t rate_;
    Mixer* mixer_ = nullptr;
    bool capture_ = false;
    std::vector<float> captured_;
    std::vector<float> block_;
};

struct DeviceInfo {
    std::string name;        // the sound server's name for the sink
    std::string description; // what the operator sees
    // A JACK device: the playback ports its left and right outputs connect to. Empty for a
    // sound server sink.
    std::vector<std::string> jackPorts{};
};

// The output devices 1..n that a sound server (or JACK) offers.
class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;
    // Default sink first, then the others in a stable order; at most 10.
    virtual std::vector<DeviceInfo> list() = 0;
    // Opens an output stream on the device; nullptr and why on failure.
    virtual std::unique_ptr<OutputSink> open(const DeviceInfo& device, Failure& error) = 0;
};

// Asks for real-time scheduling for the calling (mixing) thread; where the system refuses,
// the thread keeps its normal priority.
void raiseToRealtime();

// Mixer block length for a device rate: 4 ms, so a fired cart waits at most that for its block.
inline std::size_t blockFramesFor(std::uint32_t rate) {
    return rate / 250;
}

} // namespace audio::engine

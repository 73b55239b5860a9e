#pragma once
// The sound layer behind SoundApi: handles and error codes over one mixer per initialised
// device, a decoder pool, and the output sinks.
//
// Construct it with makeSoundEngine() (devices 1..n are the PulseAudio sinks), or with a
// DeviceProvider of your own (tests use hand-clocked sinks). All SoundApi calls come from one
// thread; the engine's own threads never call back.
//
// When a device's output goes away (the sound server restarts, the sink is removed), its mixer
// and streams stay: channels on air end as stopped, play fails with kErrStart, and the output
// reconnects by itself to the same sink once it is back (see pulse_output.cpp); then the same
// device number and its streams play again. init() on such a device tries at once.

#include "audio/engine/output_sink.h"
#include "audio/engine/sound_api.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace audio::engine {

class DecoderPool;
class Mixer;
struct Command;
class Spectrum;
class Stream;
class StreamPrefetch;
class StreamReaper;

class SoundEngine final : public SoundApi {
public:
    explicit SoundEngine(std::unique_ptr<DeviceProvider> provider, unsigned decoderThreads = 2);
    ~SoundEngine() override;
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    std::uint32_t version() override;
    int lastError() override;
    bool init(int device, std::uint32_t rate, std::uint32_t flags, void* window) override;
    std::optional<std::string> deviceDescription(int device) override;
    bool setDevice(int device) override;
    bool deviceUsable(int device) override;
    bool setConfig(int option, std::uint32_t value) override;
    StreamHandle createFileStream(const std::string& path, std::uint32_t flags) override;
    StreamHandle createWmaStream(const std::string& pathOrUrl, std::uint32_t flags) override;
    bool freeStream(StreamHandle handle) override;
    void prefetchFiles(int device, const std::vector<std::string>& paths) override;
    bool channelInfo(StreamHandle handle, ChannelInfo& info) override;
    bool getAttributes(StreamHandle handle, std::uint32_t* rate, std::uint32_t* volume,
                       std::int32_t* pan) override;
    bool setAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                       std::int32_t pan) override;
    bool slideAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                         std::int32_t pan, std::uint32_t ms) override;
    std::uint32_t isSliding(StreamHandle handle) override;
    bool setStreamGain(StreamHandle handle, float gain) override;
    bool play(StreamHandle handle, bool restart) override;
    bool stop(StreamHandle handle) override;
    int isActive(StreamHandle handle) override;
    bool setFlags(StreamHandle handle, std::uint32_t flags) override;
    bool setPosition(StreamHandle handle, std::uint64_t bytes) override;
    std::uint64_t position(StreamHandle handle) override;
    std::uint64_t length(StreamHandle handle) override;
    double bytesToSeconds(StreamHandle handle, std::uint64_t bytes) override;
    std::uint64_t secondsToBytes(StreamHandle handle, double seconds) override;
    std::int32_t getData(StreamHandle handle, void* buffer, std::uint32_t request) override;
    bool update() override;

    // Beyond the player's calls: measurements for tests and benchmarks.
    // Monotonic time (ns) at which the channel's first sample since its last play left the
    // mixer; 0 while that has not happened.
    std::int64_t playStartedNs(StreamHandle handle);
    double outputLatencySeconds(int device);
    std::uint64_t outputUnderruns(int device);
    std::uint32_t outputBufferMs(int device);
    // Streams opened ahead by prefetchFiles and not yet taken.
    std::size_t prefetchedCount() const;
    // Freed streams not yet released (their mixer has not dropped them yet).
    std::size_t pendingFreeCount() const;
    // Waits until `frames` frames are decoded ahead of the mixer (or the file is decoded to
    // its end); false on timeout.
    bool waitBuffered(StreamHandle handle, std::size_t frames, std::chrono::milliseconds timeout);

private:
    struct Device;
    struct Slot;

    Slot* find(StreamHandle handle);
    bool fail(int error);
    StreamHandle createStream(const std::string& path, bool network);
    std::size_t freeSlotIndex() const;
    bool post(Slot& slot, const Command& command);
    static void attributeTargets(const Slot& slot, std::int32_t rate, std::int32_t volume,
                                 std::int32_t pan, Command& command);
    bool pending(const Slot& slot) const;
    void refreshShadow(Slot& slot);
    bool seekAndWait(Slot& slot, std::uint64_t frame);
    const std::vector<DeviceInfo>& devices(bool refresh);
    Device* device(int number);
    bool reconnect(Device& existing, int device);

    std::unique_ptr<DeviceProvider> provider_;
    std::vector<DeviceInfo> deviceList_;
    std::int64_t deviceListTime_ = 0;
    std::map<int, std::unique_ptr<Device>> devices_;
    std::unique_ptr<DecoderPool> pool_;
    std::vector<Slot> slots_;
    // Free slots are searched from here on, so reuse spreads over all slots and a stale handle
    // needs a whole round of the generation counter on its own slot before it could match.
    std::size_t nextSlot_ = 0;
    std::unique_ptr<Spectrum> spectrum_;
    std::unique_ptr<StreamReaper> reaper_; // freed streams, until their mixer has dropped them
    std::unique_ptr<StreamPrefetch> prefetch_;
    int current_ = -1; // -1: none, so stream creation fails
    std::uint32_t bufferMs_ = 500;
    int lastError_ = kErrOk;
};

// The engine as the player uses it: device 0 is "no sound", 1..n the PulseAudio sinks.
std::unique_ptr<SoundEngine> makeSoundEngine();

} // namespace audio::engine

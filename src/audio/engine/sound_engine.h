#pragma once
// The sound layer: one mixer per opened device, a decoder pool, the output sinks, and the
// channels that play files on them.
//
// Construct it with makeSoundEngine() (devices 1..n are the sound server's sinks, then JACK's
// port pairs), or with a DeviceProvider of your own (tests use hand-clocked sinks). Every call, on
// the engine and on its channels, comes from one thread (the user-interface thread); the engine's
// own threads never call back. What the mixers report (a channel ended, stalled, turned its loop,
// reached a cue) is queued and handed to each channel's event handler by dispatchEvents(), which
// the owner calls when eventFd() becomes readable.
//
// When a device's output goes away (the sound server restarts, the sink is removed), its mixer
// and channels stay: channels on air stop (with a DeviceLost event), play fails with
// DeviceGone, and the output reconnects by itself to the same sink once it is back (see
// pulse_output.cpp); then the same channels play again. openDevice() on such a device tries at
// once.

#include "audio/engine/engine_types.h"
#include "audio/engine/output_sink.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace audio::engine {

class Channel;
class DecoderPool;
class Mixer;
struct Command;
class Spectrum;
class Stream;
class StreamPrefetch;
class StreamReaper;

struct StreamInfo {
    std::uint32_t rate = 0; // the file's own rate
    std::uint32_t channels = 0;
    bool eightBit = false;
    Frames length; // at the file's own rate; 0 for a network stream of unknown length
};

class SoundEngine {
public:
    static constexpr std::size_t kFftBins = 256;
    static constexpr int kNoSoundDevice = 0;
    // Up to 10 sound server sinks, then up to 8 JACK port pairs.
    static constexpr int kMaxDevice = 18;

    explicit SoundEngine(std::unique_ptr<DeviceProvider> provider, unsigned decoderThreads = 2);
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Devices: 0 = no sound (consumes in real time), 1..n = sound server sinks, 1 = default,
    // then JACK port pairs ("JACK: system playback 1/2"). Opening an open device whose output
    // is gone tries to reach it again at once.
    Failure openDevice(int device);
    std::optional<std::string> deviceDescription(int device);
    // A JACK device's two playback ports (left, right); empty for any other device.
    std::vector<std::string> devicePorts(int device);
    // The device that plays on these JACK ports now, whatever its number was when they were
    // chosen; empty when the graph has no such pair.
    std::optional<int> deviceWithPorts(const std::vector<std::string>& ports);
    // Why `device` cannot play now; empty when it can.
    Failure deviceProblem(int device) const;
    std::uint32_t deviceRate(int device) const;

    // How much audio each channel created from now on decodes ahead while it plays.
    void setBufferLength(std::chrono::milliseconds length);

    // A channel of `pathOrUrl` on `device`; a path holding "://" is opened as a URL.
    Result<std::unique_ptr<Channel>> open(int device, const std::string& pathOrUrl);
    // Files that channels on `device` will soon be opened from (the carts of a wall just
    // loaded): they are opened in the background so that open() is immediate. Replaces the
    // previous list. Nothing plays and nothing is reported: a file that cannot be opened fails
    // as usual when its channel is opened.
    void prefetchFiles(int device, const std::vector<std::string>& paths);

    // Readable while events wait; dispatchEvents() empties it.
    int eventFd() const { return eventFd_; }
    // Hands every queued event to its channel's handler. A handler may open, play and destroy
    // channels, its own included.
    void dispatchEvents();

    // Measurements for tests and benchmarks.
    double outputLatencySeconds(int device);
    std::uint64_t outputUnderruns(int device);
    std::uint32_t outputBufferMs(int device);
    std::size_t prefetchedCount() const;
    std::size_t pendingFreeCount() const;

private:
    friend class Channel;
    struct Device;

    const std::vector<DeviceInfo>& devices(bool refresh);
    Device* device(int number) const;
    Failure reconnect(Device& existing);
    bool post(Device& device, Command command);
    void forget(Channel& channel);
    void release(std::unique_ptr<Stream> stream);
    void ringDoorbell() const;

    std::unique_ptr<DeviceProvider> provider_;
    std::vector<DeviceInfo> deviceList_;
    std::int64_t deviceListTime_ = 0;
    std::map<int, std::unique_ptr<Device>> devices_;
    std::unique_ptr<DecoderPool> pool_;
    std::unique_ptr<Spectrum> spectrum_;
    std::unique_ptr<StreamReaper> reaper_; // freed streams, until their mixer has dropped them
    std::unique_ptr<StreamPrefetch> prefetch_;
    std::map<std::uint64_t, Channel*> channels_; // live channels by id, for event delivery
    std::uint64_t nextChannelId_ = 1;
    std::uint32_t bufferMs_ = 500;
    int eventFd_ = -1;
};

// One file playing (or ready to play) on one device. Owned by whoever opened it; destroying it
// stops it at once (with a short de-click) and frees it away from the caller's thread.
class Channel {
public:
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    const StreamInfo& info() const { return info_; }
    Frames length() const { return info_.length; }
    // Where playback is, at the file's own rate; a seek shows at once.
    Frames position() const;
    ChannelState state() const;
    // Monotonic time (ns) at which the first sample since the last play left the mixer; 0
    // while that has not happened.
    std::int64_t startedNs() const;

    // Plays from the current position; from the start once the end was reached.
    Failure play();
    void stop();
    // Waits until the decoder has the new place ready, so play sounds at once afterwards.
    Failure seek(Frames position);
    // The part of the file that plays, at the file's own rate: the play ends at `end` (Ended),
    // a loop turns from `end` to `start` without a gap, and play after the end starts again at
    // `start`. Seeks to `start` as seek() does; meant for a stopped channel.
    Failure setPlayRange(Frames start, Frames end);
    Frames rangeStart() const { return rangeStart_; }
    Frames rangeEnd() const { return rangeEnd_; }

    // Volume 0..1 and pan -1..1 ramp briefly while playing; rate in Hz of the file (0: its own).
    void setVolume(float volume);
    void setPan(float pan);
    void setRate(float hz);
    float volume() const;
    float pan() const;
    float rate() const;
    // Fades to silence over `duration` (device frames), then stops (FadedOut).
    void fadeOut(Frames duration);
    bool isFading() const;
    // A fixed linear gain 0..16 under volume and fades, e.g. for loudness matching.
    Failure setGain(float gain);
    // Read by the mixer at the end of the file: go round to the start, or end.
    void setLoop(bool loop);

    // At the file's own frame `at`, the mixer fades this channel out over `fade` device
    // frames (0: stops it) and starts `next` (may be null; must be on the same device), in
    // the same output frame. A stop, a fade or a new cue cancels it. CueReached follows.
    Failure armCue(Frames at, Channel* next, Frames fade);
    void cancelCue();

    // Magnitudes of a 512-point FFT of what the channel played last; false when not playing.
    bool spectrum(std::span<float, SoundEngine::kFftBins> out) const;

    void setEventHandler(std::function<void(ChannelEvent)> handler) {
        handler_ = std::move(handler);
    }

    // For tests: waits until `frames` device frames are decoded ahead of the mixer (or the
    // file is decoded to its end); false on timeout.
    bool waitBuffered(std::size_t frames, std::chrono::milliseconds timeout) const;

private:
    friend class SoundEngine;
    Channel(SoundEngine& engine, SoundEngine::Device& device, std::unique_ptr<Stream> stream,
            std::uint64_t id);
    bool post(Command command);
    bool pending() const;
    void awaitSeek(std::uint32_t seq, Frames target);
    void refresh() const;
    void deliver(ChannelEvent event);

    SoundEngine& engine_;
    SoundEngine::Device& device_;
    std::unique_ptr<Stream> stream_;
    std::uint64_t id_;
    StreamInfo info_;
    std::function<void(ChannelEvent)> handler_;
    // What the user-interface thread asked for last: answers come from it while commands are
    // still on their way to the mixer, so a query right after a call sees that call's effect.
    std::uint32_t sentSeq_ = 0;
    std::uint32_t seekSeq_ = 0;
    Frames seekTarget_;
    Frames rangeStart_;
    Frames rangeEnd_;
    mutable bool playing_ = false;
    mutable float rate_ = 0.0f;
    mutable float volume_ = 1.0f;
    mutable float pan_ = 0.0f;
    mutable bool fading_ = false;
};

// The engine as the program uses it: device 0 is "no sound", 1..n the sound server's sinks,
// then the port pairs of a JACK server if one runs.
std::unique_ptr<SoundEngine> makeSoundEngine();

} // namespace audio::engine

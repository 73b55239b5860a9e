#pragma once
// The calls that the cart player makes into the sound layer, and nothing more.
//
// The player is written against this interface so that it can be driven by the real engine
// (sound_engine.h) or by a scripted double in tests. Every call is made from one thread (the
// user-interface thread); the engine's own threads never call back through it.
//
// Conventions kept from the player's point of view:
//  - handles are 32-bit, 0 means "no handle";
//  - after every call lastError() gives 0 on success or one of the SoundError codes;
//  - byte positions and lengths count 16-bit interleaved frames at the file's own rate and
//    channel count, so bytesToSeconds/secondsToBytes are exact;
//  - channel states: 0 stopped, 1 playing, 2 stalled, 3 paused.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audio {

using StreamHandle = std::uint32_t;

// Layer version: the high 16 bits identify the call set the player was written for.
inline constexpr std::uint32_t kSoundApiVersion = 0x02030000u | 0x0001u;
inline constexpr std::uint32_t kSoundApiVersionHigh = 0x0203u;

enum ChannelState : int {
    kChannelStopped = 0,
    kChannelPlaying = 1,
    kChannelStalled = 2,
    kChannelPaused = 3,
};

// Stream creation flags.
inline constexpr std::uint32_t kStreamSoftwareMix = 16; // accepted, mixing is always in software
// Channel flags.
inline constexpr std::uint32_t kChannelLoop = 4;
// Bit 0 of ChannelInfo::flags: the source holds 8-bit samples.
inline constexpr std::uint32_t kInfo8Bits = 1;

// Option ids for setConfig.
inline constexpr int kOptionBufferMs = 0;

// Slide values that mean "leave this attribute alone", and "fade to silence, then stop".
inline constexpr int kKeepRate = -1;
inline constexpr int kKeepVolume = -1;
inline constexpr int kKeepPan = -101;
inline constexpr int kSlideToSilence = -2;

// isSliding() result bits.
inline constexpr std::uint32_t kSlidingRate = 1;
inline constexpr std::uint32_t kSlidingVolume = 2;
inline constexpr std::uint32_t kSlidingPan = 4;

// getData() request: 256 float magnitudes of a 512-point FFT of what the channel played last.
inline constexpr std::uint32_t kDataFft512 = 0x80000000u;
inline constexpr int kFft512Bins = 256;

// Error codes (lastError()).
enum SoundError : int {
    kErrOk = 0,
    kErrMemory = 1,
    kErrFileOpen = 2,
    kErrDriver = 3,
    kErrBufferLost = 4,
    kErrHandle = 5,
    kErrFormat = 6,
    kErrPosition = 7,
    kErrInit = 8,
    kErrStart = 9,
    kErrAlready = 14,
    kErrNotAudio = 17,
    kErrNoChannel = 18,
    kErrIllegalType = 19,
    kErrIllegalParam = 20,
    kErrNo3D = 21,
    kErrNoEax = 22,
    kErrDevice = 23,
    kErrNoPlay = 24,
    kErrFreq = 25,
    kErrNotFile = 27,
    kErrNoHw = 29,
    kErrEmpty = 31,
    kErrNoNet = 32,
    kErrCreate = 33,
    kErrNoFx = 34,
    kErrPlaying = 35,
    kErrNotAvail = 37,
    kErrDecode = 38,
    kErrDx = 39,
    kErrTimeout = 40,
    kErrFileForm = 41,
    kErrSpeaker = 42,
    kErrWmaLicense = 1000,
    kErrWmaNoWmp9 = 1001,
    kErrWmaDenied = 1002,
    kErrUnknown = -1,
};

struct ChannelInfo {
    std::uint32_t freq = 0;  // source sample rate
    std::uint32_t chans = 0; // source channel count
    std::uint32_t flags = 0; // kInfo8Bits when the source has 8-bit samples
};

class SoundApi {
public:
    virtual ~SoundApi() = default;

    virtual std::uint32_t version() = 0;
    virtual int lastError() = 0;

    // Devices: 0 = no sound (consumes in real time), 1..n = sound server sinks, 1 = default.
    virtual bool init(int device, std::uint32_t rate, std::uint32_t flags, void* window) = 0;
    virtual std::optional<std::string> deviceDescription(int device) = 0;
    // Makes `device` the one new streams are created on. For a device that is not initialised
    // it fails with kErrInit (kErrDevice out of range) and no device stays selected, so the next
    // stream creation fails too instead of landing on the device chosen before.
    virtual bool setDevice(int device) = 0;
    // Whether `device` can play now. False with lastError() kErrDevice (no such number),
    // kErrInit (not initialised) or kErrStart (initialised, but its output is gone: the sound
    // server or the sink went away; the layer reconnects by itself, and play gives the same
    // code meanwhile). Doubles that do not model devices keep this default: always usable.
    virtual bool deviceUsable(int device) {
        static_cast<void>(device);
        return true;
    }
    virtual bool setConfig(int option, std::uint32_t value) = 0;

    // Paths are UTF-8. createWmaStream also takes URLs.
    virtual StreamHandle createFileStream(const std::string& path, std::uint32_t flags) = 0;
    virtual StreamHandle createWmaStream(const std::string& pathOrUrl, std::uint32_t flags) = 0;
    virtual bool freeStream(StreamHandle handle) = 0;
    // Files that streams on `device` will soon be created from (the carts of a wall just
    // loaded): the layer may open them in the background so that creating one is immediate.
    // Replaces the previous list. Nothing plays and nothing is reported: a file that cannot be
    // opened fails as usual when its stream is created. Doubles may ignore it.
    virtual void prefetchFiles(int device, const std::vector<std::string>& paths) {
        static_cast<void>(device);
        static_cast<void>(paths);
    }

    virtual bool channelInfo(StreamHandle handle, ChannelInfo& info) = 0;
    virtual bool getAttributes(StreamHandle handle, std::uint32_t* rate, std::uint32_t* volume,
                               std::int32_t* pan) = 0;
    // rate 0 = the file's own rate; volume 0..100 (-1 keeps); pan -100..100 (-101 keeps).
    virtual bool setAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                               std::int32_t pan) = 0;
    virtual bool slideAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                                 std::int32_t pan, std::uint32_t ms) = 0;
    virtual std::uint32_t isSliding(StreamHandle handle) = 0;
    // A fixed gain (linear, 0..16) applied to the channel's samples before its volume, pan,
    // slides and fades, e.g. to play files of different loudness at one level. Set before
    // play it holds from the first sample; set while playing it ramps briefly (no click).
    // Doubles that do not model it keep this default, which accepts and ignores it.
    virtual bool setStreamGain(StreamHandle handle, float gain) {
        static_cast<void>(handle);
        static_cast<void>(gain);
        return true;
    }

    virtual bool play(StreamHandle handle, bool restart) = 0;
    virtual bool stop(StreamHandle handle) = 0;
    virtual int isActive(StreamHandle handle) = 0;
    virtual bool setFlags(StreamHandle handle, std::uint32_t flags) = 0;

    // Positions in bytes; ~0 (all bits set) on error.
    virtual bool setPosition(StreamHandle handle, std::uint64_t bytes) = 0;
    virtual std::uint64_t position(StreamHandle handle) = 0;
    virtual std::uint64_t length(StreamHandle handle) = 0;
    virtual double bytesToSeconds(StreamHandle handle, std::uint64_t bytes) = 0;
    virtual std::uint64_t secondsToBytes(StreamHandle handle, double seconds) = 0;

    // With kDataFft512 fills 256 floats and returns the byte count used (1024); -1 on failure.
    virtual std::int32_t getData(StreamHandle handle, void* buffer, std::uint32_t request) = 0;
    virtual bool update() = 0;
};

} // namespace audio

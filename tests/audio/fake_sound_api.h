#pragma once
// A scripted sound layer for player tests: channels with positions on a clock that the test
// advances by hand, volume slides, states, loop flags and error codes. Scripted failures let
// tests reach every failure path of the player. Handles are never reused.
#include "audio/engine/sound_api.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace audio::testing {

class FakeSoundApi : public SoundApi {
public:
    struct Media {
        std::uint32_t rate = 44100;
        std::uint32_t chans = 2;
        std::uint64_t lengthMs = 1000;
        bool eightBit = false;
    };
    struct Channel {
        std::string path;
        int device = -1;
        bool wma = false;
        Media media;
        std::uint64_t frames = 0;
        double position = 0; // frames
        int state = kChannelStopped;
        std::uint32_t flags = 0;
        double volume = 100;
        std::int32_t pan = 0;
        std::uint32_t rate = 0;
        bool sliding = false;
        bool slideFrozen = false;
        double slideFrom = 0;
        double slideElapsedMs = 0;
        std::uint32_t slideMs = 0;
        float gain = 1.0f; // setStreamGain
    };
    struct Creation {
        std::string path;
        bool wma;
        std::uint32_t flags;
        StreamHandle handle;
    };

    FakeSoundApi();

    // Script.
    void addMedia(const std::string& path, Media media);
    void failCreate(const std::string& path, int error, int times = 1000);
    void giveNullHandle(const std::string& path);
    void setVersion(std::uint32_t version) { version_ = version; }
    void failInit(int device, int error) { initFailures_[device] = error; }
    // The device's output goes away, as when the sound server dies: its channels stop, and
    // deviceUsable and play give kErrStart.
    void loseDevice(int device);
    void restoreDevice(int device) { lostDevices_.erase(device); }
    void setDescription(int device, std::optional<std::string> text);
    void failPlaysWithInvalidHandle(int times) { playFailures_ = times; }
    void failFrees(int times) { freeFailures_ = times; }
    void failDataReads(bool fail) { failData_ = fail; }
    void setFft(std::vector<float> magnitudes) { fft_ = std::move(magnitudes); }
    void stall(StreamHandle handle);
    void freezeSlide(StreamHandle handle);
    void advance(std::uint32_t ms); // the clock of every playing channel and slide

    // Inspection.
    Channel* channel(StreamHandle handle);
    std::size_t liveChannels() const { return channels_.size(); }
    int initCalls(int device) const;
    const std::vector<Creation>& creations() const { return creations_; }
    // The file list of the last prefetchFiles call.
    const std::vector<std::string>& prefetched() const { return prefetched_; }
    const std::vector<std::uint32_t>& slides() const { return slides_; }
    int playCalls() const { return playCalls_; }
    int freeCalls() const { return freeCalls_; }
    int updateCalls() const { return updateCalls_; }
    int lastBufferMs() const { return bufferMs_; }
    int currentDevice() const { return device_; }

    // SoundApi.
    std::uint32_t version() override { return version_; }
    int lastError() override { return error_; }
    bool init(int device, std::uint32_t rate, std::uint32_t flags, void* window) override;
    std::optional<std::string> deviceDescription(int device) override;
    bool setDevice(int device) override;
    bool deviceUsable(int device) override;
    bool setConfig(int option, std::uint32_t value) override;
    StreamHandle createFileStream(const std::string& path, std::uint32_t flags) override;
    StreamHandle createWmaStream(const std::string& pathOrUrl, std::uint32_t flags) override;
    bool freeStream(StreamHandle handle) override;
    bool channelInfo(StreamHandle handle, ChannelInfo& info) override;
    bool getAttributes(StreamHandle handle, std::uint32_t* rate, std::uint32_t* volume,
                       std::int32_t* pan) override;
    bool setAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                       std::int32_t pan) override;
    bool slideAttributes(StreamHandle handle, std::int32_t rate, std::int32_t volume,
                         std::int32_t pan, std::uint32_t ms) override;
    std::uint32_t isSliding(StreamHandle handle) override;
    bool setStreamGain(StreamHandle handle, float gain) override;
    void prefetchFiles(int, const std::vector<std::string>& paths) override { prefetched_ = paths; }
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

private:
    StreamHandle create(const std::string& path, bool wma, std::uint32_t flags);
    Channel* find(StreamHandle handle); // sets error 5 when unknown
    bool fail(int error);
    bool ok();
    void advanceChannel(Channel& c, double ms);

    std::uint32_t version_ = kSoundApiVersion;
    int error_ = kErrOk;
    std::map<std::string, Media> media_;
    std::map<std::string, std::pair<int, int>> createFailures_; // error, times left
    std::set<std::string> nullHandles_;
    std::map<int, int> initFailures_;
    std::map<int, int> initCalls_;
    std::set<int> initialised_;
    std::set<int> lostDevices_;
    std::map<int, std::optional<std::string>> descriptions_;
    std::map<StreamHandle, Channel> channels_;
    std::vector<Creation> creations_;
    std::vector<std::string> prefetched_;
    std::vector<std::uint32_t> slides_;
    std::vector<float> fft_;
    StreamHandle nextHandle_ = 0x100;
    int playFailures_ = 0;
    int freeFailures_ = 0;
    bool failData_ = false;
    int playCalls_ = 0;
    int freeCalls_ = 0;
    int updateCalls_ = 0;
    int bufferMs_ = -1;
    int device_ = -1;
};

} // namespace audio::testing

#pragma once
// One cart player: one stream of the sound layer on one device, with start, stop, fade-out,
// seek, volume, pan and rate, meter levels and an end-of-playback event (OnStop).
//
// Every operation, including the timer's Tick, runs on the user-interface thread; the player
// only queries and commands the sound layer through PlayerContext::Sound and shows failures
// through PlayerContext::Messages. Nothing is thrown to callers.
#include "audio/engine/sound_api.h"
#include "audio/id3v1_tag.h"
#include "audio/player_context.h"
#include "audio/threaded_timer.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace audio {

// Text after the last path separator (\ or /); else after the last colon; else the whole path.
QString ExtractShortName(const QString& path);

// Meter level 0..22800 of one FFT magnitude.
std::int32_t LevelOfMagnitude(float magnitude);

class TOrvaneBass : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint32_t kTickMs = 60;
    // Size GetData needs for the FFT request; a failed read clears this many bytes.
    static constexpr std::size_t kDataBufferBytes = 1028;
    static constexpr std::uint16_t kDefaultBufferMs = 3000;

    explicit TOrvaneBass(PlayerContext& context, QObject* owner = nullptr);
    ~TOrvaneBass() override; // frees the stream without firing OnStop

    void InitDevice(int device, bool readTags, void* window);
    void SelectDevice(int device);
    void Load(const QString& pathOrUrl);
    void Unload();
    void Play();
    void Stop();
    void FadeOut(std::uint16_t ms);
    void SetLoop(bool value);
    void Tick();

    bool IsPlaying() const { return loaded_ && playing_; }
    bool IsEmpty() const { return !loaded_; }
    bool IsFading() const;
    std::uint32_t LengthMs() const;
    std::uint32_t PositionMs() const;
    void SetPositionMs(std::int32_t ms);

    // Sample or FFT data of the playing channel; 0 when not playing. The buffer must hold
    // kDataBufferBytes (and a sample request's byte count); a smaller one is left untouched.
    std::int32_t GetData(std::span<std::byte> buffer, std::uint32_t request);
    // Levels from FFT elements 5 (B) and 6 (A); outputs unchanged unless playing.
    void GetLevels(std::span<const float> fft, std::int32_t& levelA, std::int32_t& levelB) const;
    int CountDevices() const;
    QString GetDeviceName(int device) const;

    std::uint32_t Volume();
    void SetVolume(std::uint32_t volume);
    std::int32_t Pan();
    void SetPan(std::int32_t pan);
    std::uint32_t Frequency();
    void SetFrequency(std::uint32_t hz);

    // The handler may start the player again, but must not destroy it: Load, Unload and Play
    // go on using the player after firing it.
    const NotifyEvent& OnStop() const { return onStop_; }
    void SetOnStop(NotifyEvent handler) { onStop_ = std::move(handler); }
    virtual void DoStop();

    std::uint16_t BufferLength() const { return bufferLength_; }
    void SetBufferLength(std::uint16_t ms) { bufferLength_ = ms; }
    int CartIndex() const { return cartIndex_; }
    void SetCartIndex(int index) { cartIndex_ = index; }
    int Device() const { return device_; }
    const QString& DeviceName() const { return deviceName_; }
    const QString& ShortName() const { return shortName_; }
    const QString& FileName() const { return fileName_; }
    const TID3v1Tag* TagReader() const { return tagReader_.get(); }
    TThreadedTimer* Timer() const { return timer_; }
    bool Loop() const { return loop_; }
    StreamHandle Channel() const { return channel_; }
    bool Loaded() const { return loaded_; }
    bool Playing() const { return playing_; }
    std::int32_t StillTicks() const { return stillTicks_; }

private:
    void checkVersion();
    void openDevice(int device, void* window);
    void createTimer();
    void loadUrl(const QString& url);
    void loadFile(const QString& path);
    StreamHandle createStream(const QString& path, std::uint32_t flags);
    bool startChannel(); // false when the channel's handle turned out to be invalid
    void freeFailedChannel();
    bool freeChannel();
    bool refreshAttributes();
    bool writeAttributes(std::uint32_t hz, std::uint32_t volume, std::int32_t pan);
    int channelState() const;
    std::uint32_t bytesToMs(std::uint64_t bytes) const;
    void showMessage(const QString& text);
    void fadeTick();
    bool stopAndCheckAlive();

    PlayerContext& context_;
    SoundApi& sound_;
    std::uint16_t bufferLength_ = kDefaultBufferMs;
    int device_ = 0;
    QString deviceName_;
    int cartIndex_ = 0;
    QString shortName_;
    QString fileName_;
    std::unique_ptr<TID3v1Tag> tagReader_;
    std::uint32_t frequency_ = 0;
    std::uint32_t volume_ = 0;
    std::int32_t lastVolume_ = 0;
    std::int32_t stillTicks_ = 0;
    std::int32_t pan_ = 0;
    bool loop_ = false;
    StreamHandle channel_ = 0;
    bool loaded_ = false;
    bool playing_ = false;
    NotifyEvent onStop_;
    TThreadedTimer* timer_ = nullptr; // child object, destroyed with the player
};

} // namespace audio

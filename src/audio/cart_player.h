#pragma once
// One cart player: one stream of the sound layer on one device, with start, stop, fade-out,
// seek, volume, pan and rate, meter levels and an end-of-playback event (onStop).
//
// Every operation, including the timer's tick, runs on the user-interface thread; the player
// only queries and commands the sound layer through PlayerContext::sound and shows failures
// through PlayerContext::messages. Nothing is thrown to callers.
//
// A player plays on its own device or not at all: load and play on a device that did not open,
// or whose output is gone for now, show that device's problem and leave the player silent
// (load: empty; play: not playing), so callers check isPlaying() before showing a cart on air.
#include "audio/engine/sound_api.h"
#include "audio/id3v1_tag.h"
#include "audio/player_context.h"
#include "audio/threaded_timer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace audio {

// Meter level 0..22800 of one FFT magnitude.
std::int32_t levelOfMagnitude(float magnitude);

class CartPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint32_t kTickMs = 60;
    // Size readData needs for the FFT request; a failed read clears this many bytes.
    static constexpr std::size_t kDataBufferBytes = 1028;
    static constexpr std::uint16_t kDefaultBufferMs = 3000;

    explicit CartPlayer(PlayerContext& context, QObject* owner = nullptr);
    ~CartPlayer() override; // frees the stream without firing onStop

    void initDevice(int device, bool readTags, void* window);
    void selectDevice(int device);
    void load(const QString& pathOrUrl);
    // Files that players on this player's device will soon load: they may be opened in the
    // background, so that loading one is immediate. Nothing plays and nothing is shown.
    void prefetchFiles(const QStringList& paths);
    void unload();
    void play();
    void stop();
    void fadeOut(std::uint16_t ms);
    void setLoop(bool value);
    void tick();
    // Applies the file's playback gain (PlayerContext::playbackGain) now, also while playing,
    // with a short ramp: for a preview whose file was measured after it started.
    void refreshGain();

    bool isPlaying() const { return loaded_ && playing_; }
    bool isEmpty() const { return !loaded_; }
    bool isFading() const;
    std::uint32_t lengthMs() const;
    std::uint32_t positionMs() const;
    void setPositionMs(std::int32_t ms);

    // Sample or FFT data of the playing channel; 0 when not playing. The buffer must hold
    // kDataBufferBytes (and a sample request's byte count); a smaller one is left untouched.
    std::int32_t readData(std::span<std::byte> buffer, std::uint32_t request);
    // Levels from FFT elements 5 (B) and 6 (A); outputs unchanged unless playing.
    void levelsOf(std::span<const float> fft, std::int32_t& levelA, std::int32_t& levelB) const;
    int deviceCount() const;
    QString deviceNameOf(int device) const;

    std::uint32_t volume();
    void setVolume(std::uint32_t volume);
    std::int32_t pan();
    void setPan(std::int32_t pan);
    std::uint32_t frequency();
    void setFrequency(std::uint32_t hz);

    // The handler may start the player again, but must not destroy it: load, unload and play
    // go on using the player after firing it.
    const NotifyEvent& onStop() const { return onStop_; }
    void setOnStop(NotifyEvent handler) { onStop_ = std::move(handler); }
    virtual void notifyStopped();

    std::uint16_t bufferLength() const { return bufferLength_; }
    void setBufferLength(std::uint16_t ms) { bufferLength_ = ms; }
    int cartIndex() const { return cartIndex_; }
    void setCartIndex(int index) { cartIndex_ = index; }
    int device() const { return device_; }
    const QString& deviceName() const { return deviceName_; }
    const QString& shortName() const { return shortName_; }
    const QString& fileName() const { return fileName_; }
    const Id3v1Tag* tagReader() const { return tagReader_.get(); }
    ThreadedTimer* timer() const { return timer_; }
    bool loops() const { return loop_; }
    StreamHandle channel() const { return channel_; }
    bool loaded() const { return loaded_; }
    bool playing() const { return playing_; }
    std::int32_t stillTicks() const { return stillTicks_; }

private:
    void checkVersion();
    void openDevice(int device, void* window);
    void createTimer();
    void loadUrl(const QString& url);
    void loadFile(const QString& path);
    StreamHandle createStream(const QString& path, std::uint32_t flags);
    enum class ChannelStart { Started, HandleLost, DeviceGone };
    ChannelStart startChannel();
    bool deviceCanPlay();
    void reportDeviceProblem(int code);
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
    std::unique_ptr<Id3v1Tag> tagReader_;
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
    ThreadedTimer* timer_ = nullptr; // child object, destroyed with the player
};

} // namespace audio

#pragma once
// One cart player: one channel of the sound engine on one device, with start, stop, fade-out,
// seek, volume, pan and rate, meter levels, a loop that turns inside the mixer, a segue armed
// at a frame, and an end-of-playback event (onStop).
//
// Every operation runs on the user-interface thread; the engine's events about the channel
// (ended, faded out, stalled, loop turned, cue reached) arrive there through the shared
// PlayerContext, so no player runs a timer. Failures are shown through
// PlayerContext::messages; nothing is thrown to callers.
//
// A player plays on its own device or not at all: load and play on a device that did not open,
// or whose output is gone for now, show that device's problem and leave the player silent
// (load: empty; play: not playing), so callers check isPlaying() before showing a cart on air.
#include "audio/engine/sound_engine.h"
#include "audio/id3v1_tag.h"
#include "audio/player_context.h"
#include "audio/threaded_timer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace audio {

// Points of a file that shape its play, in frames of the file's own rate from its first frame:
// the play runs from cue-in to cue-out; the intro ends and the segue may start inside that.
struct PlayMarks {
    std::optional<std::int64_t> cueIn;
    std::optional<std::int64_t> cueOut;
    std::optional<std::int64_t> introEnd;
    std::optional<std::int64_t> segueStart;
};

// Meter level 0..22800 of one FFT magnitude.
std::int32_t levelOfMagnitude(float magnitude);

class CartPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kDefaultBufferMs = 3000;

    explicit CartPlayer(PlayerContext& context, QObject* owner = nullptr);
    ~CartPlayer() override; // frees the channel without firing onStop

    // Binds the player to `device`, opening it once per program; a device that fails to open
    // is reported once.
    void initDevice(int device, bool readTags = false);
    void load(const QString& pathOrUrl);
    // Files that players on this player's device will soon load: they may be opened in the
    // background, so that loading one is immediate. Nothing plays and nothing is shown.
    void prefetchFiles(const QStringList& paths);
    void unload();
    // The loaded file's marks; a load forgets them. Positions, the length, the end, a loop's
    // turn and the start after a stop follow cue-in..cue-out from then on; while playing, the
    // new range holds from the next stop. Marks that leave nothing to play are ignored.
    void setMarks(const PlayMarks& marks);
    void play();
    void stop();
    void fadeOut(std::uint16_t ms);
    // Read by the mixer when the file ends: a looping player turns to its start without a gap.
    void setLoop(bool value);
    // Applies the file's playback gain (PlayerContext::playbackGain) now, also while playing,
    // with a short ramp: for a preview whose file was measured after it started.
    void refreshGain();

    // The segue: when this player reaches its segue mark, or leadMs before its end when it has
    // none (at once if that has passed), it fades out over fadeMs (shortened as fadeOut
    // shortens it) and `next` starts, in the same output frame. `next` must be loaded on the
    // same device and not playing; null only fades. False when nothing could be armed. A stop, a fade or another arm cancels it.
    bool armSegue(CartPlayer* next, std::uint32_t leadMs, std::uint16_t fadeMs);
    void cancelSegue();
    // How long before the end the segue falls: from the segue mark, else `fallbackMs`.
    std::uint32_t segueLeadMs(std::uint32_t fallbackMs) const;
    // Time left until the intro ends, while it runs; empty otherwise.
    std::optional<std::uint32_t> introLeftMs() const;

    bool isPlaying() const { return loaded_ && playing_; }
    bool isEmpty() const { return !loaded_; }
    bool isFading() const;
    std::uint32_t lengthMs() const;
    std::uint32_t positionMs() const;
    void setPositionMs(std::int32_t ms);

    // The two meter levels (0..22800) from FFT elements 6 (A) and 5 (B) of what plays now;
    // false, with the levels untouched, when nothing plays.
    bool readLevels(std::int32_t& levelA, std::int32_t& levelB) const;
    int deviceCount() const;
    QString deviceNameOf(int device) const;

    std::uint32_t volume() const;
    void setVolume(std::uint32_t volume);
    std::int32_t pan() const;
    void setPan(std::int32_t pan);
    std::uint32_t frequency() const;
    void setFrequency(std::uint32_t hz);

    // Fired once for each end of a play: a stop, the end of the file, the end of a fade, a
    // stall, the loss of the device. The handler may start the player again, but must not
    // destroy it.
    const NotifyEvent& onStop() const { return onStop_; }
    void setOnStop(NotifyEvent handler) { onStop_ = std::move(handler); }
    // True while the stop event of a play given up because its channel stalled is delivered.
    bool isEndingInStall() const { return endingInStall_; }
    // The loop turned from the end to the start.
    void setOnLoopTurned(NotifyEvent handler) { onLoopTurned_ = std::move(handler); }
    // The armed segue happened: this player fades and the next one plays.
    void setOnSegue(NotifyEvent handler) { onSegue_ = std::move(handler); }

    std::uint16_t bufferLength() const { return bufferLength_; }
    void setBufferLength(std::uint16_t ms) { bufferLength_ = ms; }
    int cartIndex() const { return cartIndex_; }
    void setCartIndex(int index) { cartIndex_ = index; }
    int device() const { return device_; }
    const QString& deviceName() const { return deviceName_; }
    const QString& shortName() const { return shortName_; }
    const QString& fileName() const { return fileName_; }
    const Id3v1Tag* tagReader() const { return tagReader_.get(); }
    bool loops() const { return loop_; }
    bool loaded() const { return loaded_; }
    bool playing() const { return playing_; }
    // The engine's channel while loaded (for measurements); null when empty.
    engine::Channel* channel() const { return channel_.get(); }

private:
    void openDevice(int device);
    bool deviceCanPlay();
    void reportDeviceProblem(int code);
    void loadUrl(const QString& url);
    void loadFile(const QString& path);
    engine::Result<std::unique_ptr<engine::Channel>> openChannel(const QString& pathOrUrl);
    void attach(std::unique_ptr<engine::Channel> channel);
    void prepareStart();
    void applyRange();
    std::optional<engine::Frames> segueFrame() const;
    void onChannelEvent(engine::ChannelEvent event);
    void endPlay();
    void notifyStopped();
    std::uint32_t framesToMs(engine::Frames frames) const;
    void showMessage(const QString& text);

    PlayerContext& context_;
    engine::SoundEngine& engine_;
    std::uint16_t bufferLength_ = kDefaultBufferMs;
    int device_ = 0;
    QString deviceName_;
    int cartIndex_ = 0;
    QString shortName_;
    QString fileName_;
    std::unique_ptr<Id3v1Tag> tagReader_;
    std::uint32_t frequency_ = 0;
    std::uint32_t volume_ = 0;
    std::int32_t pan_ = 0;
    bool loop_ = false;
    PlayMarks marks_;
    bool rangePending_ = false; // marks set while playing: the range changes at the stop
    std::unique_ptr<engine::Channel> channel_;
    bool loaded_ = false;
    bool playing_ = false;
    bool endingInStall_ = false;
    NotifyEvent onStop_;
    NotifyEvent onLoopTurned_;
    NotifyEvent onSegue_;
};

} // namespace audio

#pragma once
// What the firing and block logic needs from the outside world, as small interfaces, so that
// the logic runs in tests without widgets, sound devices or timers.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace session {

// The operations of a cart player that the wall uses.
class PlayerControl {
public:
    virtual ~PlayerControl() = default;
    virtual bool isPlaying() = 0;
    virtual bool isEmpty() = 0;
    virtual bool isFading() = 0;
    virtual void load(const QString& path) = 0;
    virtual void unload() = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void fadeOut(std::uint16_t ms) = 0;
    // Read when the file ends: a looping player turns to its start without a gap.
    virtual void setLoop(bool loop) = 0;
    // At leadMs before its end (at its segue marker when it has one) this player fades out
    // over fadeMs and `next` (loaded, idle, or null) starts, in one output frame; false when
    // nothing could be armed.
    virtual bool armSegue(PlayerControl* next, std::uint32_t leadMs, std::uint16_t fadeMs) = 0;
    virtual void cancelSegue() = 0;
    // How long before its end this player's segue falls: from its file's segue marker, else
    // `fallbackMs`. A player without markers always says `fallbackMs`.
    virtual std::uint32_t segueLeadMs(std::uint32_t fallbackMs) { return fallbackMs; }
    // Time left until the intro ends while it runs; empty otherwise or without markers.
    virtual std::optional<std::uint32_t> introLeftMs() { return std::nullopt; }
    virtual void setVolume(std::uint32_t volume) = 0;
    virtual std::uint32_t lengthMs() = 0;
    virtual std::uint32_t positionMs() = 0;
    virtual QString fileName() const = 0; // the path last given to load
    // The two meter levels (0..22800) of what plays now; false when no data could be read.
    virtual bool readLevels(std::int32_t& levelA, std::int32_t& levelB) = 0;
    virtual int cartIndex() const = 0;
    virtual void setCartIndex(int index) = 0;
};

// The 96 cart players, the cue player and the spare player.
class PlayerBank {
public:
    virtual ~PlayerBank() = default;
    virtual PlayerControl& cart(int n) = 0; // n = 1..96
    virtual PlayerControl& cue() = 0;
    virtual PlayerControl& spare() = 0;
};

// Frame looks of a cart button.
inline constexpr int kIdleFrameColour = 0;
inline constexpr int kIdleFrameWidth = 1;
inline constexpr int kOnAirFrameColour = 255;
inline constexpr int kOnAirFrameWidth = 10;
inline constexpr int kIdleCaptionPoints = 8;

// The visible state of the wall that the logic sets and reads.
class WallView {
public:
    virtual ~WallView() = default;
    // Cart button n.
    virtual QString caption(int n) const = 0;
    virtual void setCaption(int n, const QString& text) = 0;
    // The caption counts down the intro instead of the cart. A view without it ignores it.
    virtual void setIntroCountdown(int /*n*/, bool /*running*/) {}
    virtual void setFrame(int n, int bgrColour, int width) = 0;
    virtual int frameWidth(int n) const = 0;
    virtual void setCaptionPointSize(int n, int points) = 0;
    virtual void setQueued(int n, bool queued) = 0; // red badge
    virtual void setClickEnabled(int n, bool enabled) = 0;
    // The control strip.
    virtual int masterVolume() const = 0;
    virtual bool autoFade() const = 0;
    virtual bool autoMix() const = 0;
    virtual void setBlockLines(const QStringList& lines) = 0;
    virtual void setBlockCount(int count) = 0;
    virtual void setClockText(const QString& text) = 0;
    // The clock's end-warning blink: lit or not. A view without the warning ignores it.
    virtual void setClockWarning(bool /*lit*/) {}
    virtual void setMeters(int levelA, int levelB) = 0;
    virtual void setCueLook(bool cueMode) = 0;
    virtual void setStatusLine(const QString& text) = 0;
};

class FileProbe {
public:
    virtual ~FileProbe() = default;
    virtual bool exists(const QString& path) const = 0;
};

} // namespace session

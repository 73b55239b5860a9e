#pragma once
// What the wall session tells its observers about plays and carts, and the commands that
// sources without a pointer (remote control, panic keys) give it. Cart numbers are 1..96.
#include <QString>

#include <cstdint>

namespace session {

inline constexpr int kCartCount = 96;

// What started a play on air.
enum class PlayTrigger { Click, Key, Block, Automix, Osc, Midi };

// How a play on air ended.
enum class PlayEnd {
    End,           // the file (or its cue-out) ran out
    Cut,           // stopped at once by the operator
    Fade,          // faded by the operator (a click on a cart that stops with a fade)
    Autofade,      // faded because another cart started with AUTO FADE on
    Mix,           // faded by the block's segue into the next cart
    LoopStop,      // a looping cart stopped by a click
    Panic,         // fade-all or stop-all
    Deleted,       // the cart's audio was removed while it played
    Stall,         // the decoder or the device could not keep up and the play was given up
    ProfileSwitch, // another profile replaced the wall
    Exit,          // the program closed
    Crash,         // found open after the program died (written by the log only)
};

// A cart's state as lights and remote feedback show it. Where several hold, the later wins.
enum class CartState { Empty, Loaded, Queued, Cue, Playing, Looping, Fading };

// The stable lower-case words for logs and OSC: "click", "automix", "loop-stop",
// "profile switch", "playing", ...
QString triggerName(PlayTrigger trigger);
QString endName(PlayEnd end);
QString stateName(CartState state);

// One play on air, as the session reports its start and its end.
struct PlayInfo {
    int cart = 0;
    QString cartName;
    QString path;
    QString profile;
    PlayTrigger trigger = PlayTrigger::Click;
    std::int64_t playId = 0; // unique in one run; the end carries the start's id
};

// The commands that need no pointer. Each answers with an empty text when done, else the
// reason it refused (for a remote `/error`). Called on the user-interface thread only.
class WallCommands {
public:
    virtual ~WallCommands() = default;
    virtual QString fire(int cart, PlayTrigger trigger) = 0; // as a click or key
    virtual QString stop(int cart) = 0;                      // cut; clears the loop flag
    virtual QString fade(int cart) = 0;                      // fade; clears the loop flag
    virtual QString cue(int cart) = 0;                       // pre-listen on the cue device
    virtual QString toggleQueued(int cart) = 0;              // as Shift+click
    virtual QString blockNext() = 0;
    virtual QString fadeAll() = 0; // panic: on-air carts only, block emptied, loops cleared
    virtual QString stopAll() = 0;
    virtual QString setMasterVolume(int percent) = 0;         // 0..100
    virtual QString activateProfile(const QString& name) = 0; // refused on a changed wall
};

} // namespace session

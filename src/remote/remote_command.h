#pragma once
// The commands a remote controller can give, shared by OSC and MIDI. Their text form is the
// OSC address ("/cart/5/fire", "/block/next", "/master"), which bandoramidi.ini also stores.
#include "session/session_types.h"

#include <QString>

#include <optional>
#include <variant>

namespace remote {

enum class CommandKind { Fire, Stop, Fade, Cue, Queue, BlockNext, FadeAll, StopAll, Master };

struct Command {
    CommandKind kind = CommandKind::Fire;
    int cart = 0; // 1..96 for the cart commands, else 0
    bool operator==(const Command&) const = default;
};

bool isCartCommand(CommandKind kind);

// The command an address names, or the reason it names none (an unknown address, a cart
// number outside 1..96). /profile/activate is not one of them: it takes a name.
std::variant<Command, QString> commandForAddress(const QString& address);
QString addressOf(const Command& command);

// Gives `command` to the wall; `percent` is used by Master only. Empty when done, else the
// wall's reason.
QString runCommand(const Command& command, int percent, session::WallCommands& wall,
                   session::PlayTrigger trigger);

// The texts that /error and the setup dialog show.
QString unknownAddressText(const QString& address);

} // namespace remote

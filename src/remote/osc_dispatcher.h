#pragma once
// OSC messages as the wall understands them: a datagram decoded (with liblo) into an address
// and typed arguments, and the dispatcher that turns one message into one wall command or
// into the text of an /error reply. Pure: no sockets, no threads; runs on the UI thread.
#include "remote/remote_command.h"
#include "session/session_types.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

namespace remote {

// Integers (i, h), reals (f, d), texts (s, S), or the type tag of anything else.
using OscArg = std::variant<std::int64_t, double, QString, char>;

struct OscMessage {
    QString address;
    std::vector<OscArg> args;
};

// Datagrams longer than this are dropped unread: every message of the address space fits
// many times over.
inline constexpr std::size_t kMaxOscDatagram = 4096;

// The message in `size` bytes, or the reason it is not one (a bundle, bad padding, a size
// over kMaxOscDatagram, ...).
std::variant<OscMessage, QString> decodeOscDatagram(const char* data, std::size_t size);

// A datagram holding `message`, for replies and feedback. Empty when liblo refuses it.
QByteArray encodeOscMessage(const OscMessage& message);

class OscDispatcher {
public:
    explicit OscDispatcher(session::WallCommands& wall) : wall_(wall) {}

    // Gives the command `message` names. Empty when done or when there was nothing to do (a
    // button's release); else the text for /error. A refused message changes nothing.
    QString dispatch(const OscMessage& message);

private:
    QString dispatchMaster(const OscMessage& message);
    QString dispatchProfile(const OscMessage& message);

    session::WallCommands& wall_;
};

} // namespace remote

#include "remote/osc_dispatcher.h"

#include <cstring>

#include <lo/lo_lowlevel.h>

#include <QByteArray>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <type_traits>

namespace remote {

namespace {

struct MessageFree {
    void operator()(lo_message message) const { lo_message_free(message); }
};
using LoMessage = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageFree>;

// liblo packs arguments at 4-byte steps: 8-byte values may be misaligned, so copy them out.
template <typename T> T unaligned(const lo_arg* arg) {
    T value;
    std::memcpy(&value, static_cast<const void*>(arg), sizeof value);
    return value;
}

OscArg argFrom(char type, const lo_arg* arg) {
    switch (type) {
    case LO_INT32:
        return std::int64_t{unaligned<std::int32_t>(arg)};
    case LO_INT64:
        return std::int64_t{unaligned<std::int64_t>(arg)};
    case LO_FLOAT:
        return double{unaligned<float>(arg)};
    case LO_DOUBLE:
        return unaligned<double>(arg);
    case LO_STRING:
        return QString::fromUtf8(&arg->s);
    case LO_SYMBOL:
        return QString::fromUtf8(&arg->S);
    default:
        return type;
    }
}

// A number argument, rounded, as controllers send integers as floats. Empty for anything else.
std::optional<std::int64_t> wholeNumber(const OscArg& arg) {
    if (const auto* whole = std::get_if<std::int64_t>(&arg)) {
        return *whole;
    }
    if (const auto* real = std::get_if<double>(&arg);
        real && std::isfinite(*real) && std::fabs(*real) < 1e15) {
        return std::llround(*real);
    }
    return std::nullopt;
}

// Buttons of touch controllers send 1 on press and 0 on release; a bare message is a press.
std::variant<bool, QString> isPress(const OscMessage& message) {
    if (message.args.empty()) {
        return true;
    }
    const auto value = wholeNumber(message.args.front());
    if (message.args.size() > 1 || !value) {
        return QStringLiteral("Argumento inválido em %1: nenhum, ou 1 ao apertar e 0 ao soltar")
            .arg(message.address);
    }
    return *value != 0;
}

} // namespace

std::variant<OscMessage, QString> decodeOscDatagram(const char* data, std::size_t size) {
    if (size > kMaxOscDatagram) {
        return QStringLiteral("Datagrama OSC grande demais (%1 bytes)").arg(size);
    }
    if (size >= 8 && QByteArray::fromRawData(data, 8) == QByteArrayLiteral("#bundle\0")) {
        return QStringLiteral("Pacotes OSC (#bundle) não são aceitos");
    }
    QByteArray bytes(data, qsizetype(size)); // liblo reads through a non-const pointer
    const char* path = lo_get_path(bytes.data(), ssize_t(bytes.size()));
    int result = 0;
    LoMessage message(path ? lo_message_deserialise(bytes.data(), size, &result) : nullptr);
    if (!message) {
        return QStringLiteral("Datagrama OSC ilegível");
    }
    OscMessage decoded{QString::fromUtf8(path), {}};
    const char* types = lo_message_get_types(message.get());
    lo_arg** argv = lo_message_get_argv(message.get());
    for (int i = 0; i < lo_message_get_argc(message.get()); ++i) {
        decoded.args.push_back(argFrom(types[i], argv[i]));
    }
    return decoded;
}

QByteArray encodeOscMessage(const OscMessage& message) {
    LoMessage built(lo_message_new());
    for (const OscArg& arg : message.args) {
        if (const auto* whole = std::get_if<std::int64_t>(&arg)) {
            lo_message_add_int32(built.get(), std::int32_t(*whole));
        } else if (const auto* real = std::get_if<double>(&arg)) {
            lo_message_add_float(built.get(), float(*real));
        } else if (const auto* text = std::get_if<QString>(&arg)) {
            lo_message_add_string(built.get(), text->toUtf8().constData());
        }
    }
    const QByteArray path = message.address.toUtf8();
    std::size_t size = 0;
    void* bytes = lo_message_serialise(built.get(), path.constData(), nullptr, &size);
    if (!bytes) {
        return {};
    }
    QByteArray datagram(static_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    return datagram;
}

QString OscDispatcher::dispatch(const OscMessage& message) {
    if (message.address == QLatin1String("/profile/activate")) {
        return dispatchProfile(message);
    }
    const auto command = commandForAddress(message.address);
    if (const auto* reason = std::get_if<QString>(&command)) {
        return *reason;
    }
    const Command& given = std::get<Command>(command);
    if (given.kind == CommandKind::Master) {
        return dispatchMaster(message);
    }
    const auto press = isPress(message);
    if (const auto* reason = std::get_if<QString>(&press)) {
        return *reason;
    }
    if (!std::get<bool>(press)) {
        return {};
    }
    return runCommand(given, 0, wall_, session::PlayTrigger::Osc);
}

QString OscDispatcher::dispatchMaster(const OscMessage& message) {
    const auto percent =
        message.args.size() == 1 ? wholeNumber(message.args.front()) : std::nullopt;
    if (!percent || *percent < 0 || *percent > 100) {
        return QStringLiteral("Argumento inválido em /master: um número de 0 a 100");
    }
    return wall_.setMasterVolume(int(*percent));
}

QString OscDispatcher::dispatchProfile(const OscMessage& message) {
    const auto* name =
        message.args.size() == 1 ? std::get_if<QString>(&message.args.front()) : nullptr;
    if (!name || name->trimmed().isEmpty()) {
        return QStringLiteral("Argumento inválido em /profile/activate: o nome do perfil");
    }
    return wall_.activateProfile(*name);
}

} // namespace remote

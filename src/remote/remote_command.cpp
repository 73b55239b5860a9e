#include "remote/remote_command.h"

#include <QStringList>

#include <array>

namespace remote {

namespace {

struct Named {
    CommandKind kind;
    const char* name;
};

// The last word of /cart/N/<word>.
constexpr std::array kCartWords{
    Named{CommandKind::Fire, "fire"},   Named{CommandKind::Stop, "stop"},
    Named{CommandKind::Fade, "fade"},   Named{CommandKind::Cue, "cue"},
    Named{CommandKind::Queue, "queue"},
};

constexpr std::array kGlobalAddresses{
    Named{CommandKind::BlockNext, "/block/next"},
    Named{CommandKind::FadeAll, "/all/fade"},
    Named{CommandKind::StopAll, "/all/stop"},
    Named{CommandKind::Master, "/master"},
};

std::variant<Command, QString> cartCommand(const QStringList& parts, const QString& address) {
    bool isNumber = false;
    const int cart = parts[2].toInt(&isNumber);
    for (const Named& word : kCartWords) {
        if (parts[3] != QLatin1String(word.name)) {
            continue;
        }
        if (!isNumber || cart < 1 || cart > session::kCartCount) {
            return QStringLiteral("Cartucho inexistente em %1: use de 1 a %2")
                .arg(address)
                .arg(session::kCartCount);
        }
        return Command{word.kind, cart};
    }
    return unknownAddressText(address);
}

} // namespace

bool isCartCommand(CommandKind kind) {
    return kind == CommandKind::Fire || kind == CommandKind::Stop || kind == CommandKind::Fade ||
           kind == CommandKind::Cue || kind == CommandKind::Queue;
}

QString unknownAddressText(const QString& address) {
    return QStringLiteral("Endereço OSC desconhecido: %1").arg(address.left(64));
}

std::variant<Command, QString> commandForAddress(const QString& address) {
    for (const Named& global : kGlobalAddresses) {
        if (address == QLatin1String(global.name)) {
            return Command{global.kind, 0};
        }
    }
    const QStringList parts = address.split(QLatin1Char('/'));
    if (parts.size() == 4 && parts[0].isEmpty() && parts[1] == QLatin1String("cart")) {
        return cartCommand(parts, address);
    }
    return unknownAddressText(address);
}

QString addressOf(const Command& command) {
    for (const Named& global : kGlobalAddresses) {
        if (global.kind == command.kind) {
            return QLatin1String(global.name);
        }
    }
    for (const Named& word : kCartWords) {
        if (word.kind == command.kind) {
            return QStringLiteral("/cart/%1/%2").arg(command.cart).arg(QLatin1String(word.name));
        }
    }
    return {};
}

QString runCommand(const Command& command, int percent, session::WallCommands& wall,
                   session::PlayTrigger trigger) {
    switch (command.kind) {
    case CommandKind::Fire:
        return wall.fire(command.cart, trigger);
    case CommandKind::Stop:
        return wall.stop(command.cart);
    case CommandKind::Fade:
        return wall.fade(command.cart);
    case CommandKind::Cue:
        return wall.cue(command.cart);
    case CommandKind::Queue:
        return wall.toggleQueued(command.cart);
    case CommandKind::BlockNext:
        return wall.blockNext();
    case CommandKind::FadeAll:
        return wall.fadeAll();
    case CommandKind::StopAll:
        return wall.stopAll();
    case CommandKind::Master:
        return wall.setMasterVolume(percent);
    }
    return {};
}

} // namespace remote

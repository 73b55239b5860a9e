#include "remote/midi_map.h"

#include "config/text_file.h"

#include <QDir>

#include <cmath>

namespace remote {

namespace {

constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kControlChange = 0xb0;
constexpr int kPressThreshold = 64;

const QString kInputKey = QStringLiteral("ENTRADA");
const QString kOutputKey = QStringLiteral("SAIDA");
const QString kLightKey = QStringLiteral("LUZ");

constexpr std::array kStates{
    session::CartState::Empty,  session::CartState::Loaded,  session::CartState::Queued,
    session::CartState::Cue,    session::CartState::Playing, session::CartState::Looping,
    session::CartState::Fading,
};

std::optional<int> numberIn(const QString& text, int minimum, int maximum) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= minimum && value <= maximum ? std::optional(value) : std::nullopt;
}

std::optional<MidiKey> keyFrom(const QStringList& words) {
    if (words.size() != 3) {
        return std::nullopt;
    }
    MidiKey key;
    if (words[0].compare(QLatin1String("NOTE"), Qt::CaseInsensitive) == 0) {
        key.type = MidiKey::Type::Note;
    } else if (words[0].compare(QLatin1String("CC"), Qt::CaseInsensitive) == 0) {
        key.type = MidiKey::Type::Cc;
    } else {
        return std::nullopt;
    }
    const auto channel = numberIn(words[1], 1, 16);
    const auto number = numberIn(words[2], 0, 127);
    if (!channel || !number) {
        return std::nullopt;
    }
    key.channel = *channel;
    key.number = *number;
    return key;
}

// The key and value of a note-on or control change; nothing for any other message.
std::optional<std::pair<MidiKey, int>> keyAndValue(const MidiMessage& message) {
    const std::uint8_t kind = message.status & 0xf0;
    if ((kind != kNoteOn && kind != kControlChange) || message.data1 > 127 || message.data2 > 127) {
        return std::nullopt;
    }
    const MidiKey key{kind == kNoteOn ? MidiKey::Type::Note : MidiKey::Type::Cc,
                      (message.status & 0x0f) + 1, message.data1};
    return std::pair{key, int(message.data2)};
}

bool accepted(const MidiKey& key, int value, CommandKind kind) {
    if (key.type == MidiKey::Type::Note) {
        return value > 0;
    }
    return kind == CommandKind::Master || value >= kPressThreshold;
}

} // namespace

QString keyText(const MidiKey& key) {
    return QStringLiteral("%1 %2 %3")
        .arg(key.type == MidiKey::Type::Note ? QStringLiteral("NOTE") : QStringLiteral("CC"))
        .arg(key.channel)
        .arg(key.number);
}

MidiMap MidiMap::fromLines(const QStringList& lines) {
    MidiMap map;
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty() && !map.readLine(line)) {
            map.damaged_ << line;
        }
    }
    return map;
}

bool MidiMap::readLine(const QString& line) {
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0) {
        return false;
    }
    const QString value = line.mid(equals + 1).trimmed();
    const QStringList words = line.left(equals).simplified().split(QLatin1Char(' '));
    const QString& first = words.front();
    if (words.size() == 1 && !value.isEmpty() &&
        (first.compare(kInputKey, Qt::CaseInsensitive) == 0 ||
         first.compare(kOutputKey, Qt::CaseInsensitive) == 0)) {
        (first.compare(kInputKey, Qt::CaseInsensitive) == 0 ? inputPorts : outputPorts) << value;
        return true;
    }
    if (words.size() == 2 && first.compare(kLightKey, Qt::CaseInsensitive) == 0) {
        const auto velocity = numberIn(value, 0, 127);
        for (session::CartState state : kStates) {
            if (velocity && words[1].compare(session::stateName(state), Qt::CaseInsensitive) == 0) {
                velocities_[std::size_t(state)] = *velocity;
                return true;
            }
        }
        return false;
    }
    const auto key = keyFrom(words);
    const auto command = commandForAddress(value);
    if (!key || !std::holds_alternative<Command>(command) || mappings_.contains(*key)) {
        return false;
    }
    mappings_[*key] = std::get<Command>(command);
    return true;
}

QStringList MidiMap::toLines() const {
    QStringList lines;
    for (const QString& port : inputPorts) {
        lines << kInputKey + QLatin1Char('=') + port;
    }
    for (const QString& port : outputPorts) {
        lines << kOutputKey + QLatin1Char('=') + port;
    }
    for (session::CartState state : kStates) {
        lines << QStringLiteral("%1 %2=%3")
                     .arg(kLightKey, session::stateName(state))
                     .arg(velocity(state));
    }
    for (const auto& [key, command] : mappings_) {
        lines << keyText(key) + QStringLiteral(" = ") + addressOf(command);
    }
    return lines + damaged_;
}

QString MidiMap::damageText() const {
    if (damaged_.isEmpty()) {
        return {};
    }
    return QStringLiteral("%1: %2 linha(s) ilegível(is) ignorada(s) e mantida(s) no arquivo: %3")
        .arg(QLatin1String(kMidiMapFile))
        .arg(damaged_.size())
        .arg(damaged_.first().left(80));
}

std::optional<MidiAction> MidiMap::actionFor(const MidiMessage& message) const {
    const auto pressed = keyAndValue(message);
    if (!pressed) {
        return std::nullopt;
    }
    const auto found = mappings_.find(pressed->first);
    if (found == mappings_.end() ||
        !accepted(pressed->first, pressed->second, found->second.kind)) {
        return std::nullopt;
    }
    return MidiAction{found->second, int(std::lround(pressed->second * 100.0 / 127.0))};
}

std::optional<MidiKey> MidiMap::learnableKey(const MidiMessage& message, const Command& target) {
    const auto pressed = keyAndValue(message);
    if (!pressed || !accepted(pressed->first, pressed->second, target.kind)) {
        return std::nullopt;
    }
    return pressed->first;
}

void MidiMap::bind(const MidiKey& key, const Command& command) {
    std::erase_if(mappings_, [&](const auto& entry) { return entry.second == command; });
    mappings_[key] = command;
}

std::optional<Command> MidiMap::commandOf(const MidiKey& key) const {
    const auto found = mappings_.find(key);
    return found == mappings_.end() ? std::nullopt : std::optional(found->second);
}

std::optional<MidiKey> MidiMap::keyOf(const Command& command) const {
    for (const auto& [key, mapped] : mappings_) {
        if (mapped == command) {
            return key;
        }
    }
    return std::nullopt;
}

std::optional<MidiMessage> MidiMap::lightFor(int cart, session::CartState state) const {
    std::optional<MidiKey> key = keyOf(Command{CommandKind::Fire, cart});
    for (const auto& [candidate, command] : mappings_) {
        if (!key && isCartCommand(command.kind) && command.cart == cart) {
            key = candidate;
        }
    }
    if (!key) {
        return std::nullopt;
    }
    const std::uint8_t kind = key->type == MidiKey::Type::Note ? kNoteOn : kControlChange;
    return MidiMessage{std::uint8_t(kind | (key->channel - 1)), std::uint8_t(key->number),
                       std::uint8_t(velocity(state))};
}

MidiMap readMidiMap(const QString& programDir) {
    const auto lines =
        config::readTextLines(QDir(programDir).filePath(QLatin1String(kMidiMapFile)));
    return MidiMap::fromLines(lines.value_or(QStringList{}));
}

bool writeMidiMap(const QString& programDir, const MidiMap& map) {
    return config::writeTextLines(QDir(programDir).filePath(QLatin1String(kMidiMapFile)),
                                  map.toLines());
}

} // namespace remote

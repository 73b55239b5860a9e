#pragma once
// bandoramidi.ini and the rules that turn MIDI messages into wall commands. The file holds one
// line per mapping, "NOTE|CC channel number = command" (the command as its OSC address), the
// ports to connect to ("ENTRADA=" and "SAIDA=", one line each) and the velocity that lights a
// pad in each cart state ("LUZ playing=21"). Lines that cannot be read are kept aside, written
// back unchanged and reported once, so a damaged file loses nothing.
#include "remote/remote_command.h"
#include "session/session_types.h"

#include <QString>
#include <QStringList>

#include <array>
#include <compare>
#include <cstdint>
#include <map>
#include <optional>

namespace remote {

inline constexpr auto kMidiMapFile = "bandoramidi.ini";

struct MidiKey {
    enum class Type { Note, Cc };
    Type type = Type::Note;
    int channel = 1; // 1..16
    int number = 0;  // 0..127
    auto operator<=>(const MidiKey&) const = default;
};

// "NOTE 1 36" or "CC 1 7", as the file's lines begin.
QString keyText(const MidiKey& key);

// One channel message as it arrives: status byte and two data bytes.
struct MidiMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

struct MidiAction {
    Command command;
    int percent = 0; // for Master: the value scaled to 0..100
};

class MidiMap {
public:
    // Suits the common 8x8 grid controllers: off, dim, ..., in CartState order.
    static constexpr std::array<int, 7> kDefaultVelocities{0, 1, 3, 5, 21, 45, 13};

    static MidiMap fromLines(const QStringList& lines);
    QStringList toLines() const;

    // The lines that could not be read, and the one text that reports them (empty when none).
    const QStringList& damagedLines() const { return damaged_; }
    QString damageText() const;

    // Note-on with a velocity above 0 and control change from 64 on give their command; a
    // key mapped to the master volume takes every control change value (a fader). Everything
    // else, and keys without a mapping, give nothing.
    std::optional<MidiAction> actionFor(const MidiMessage& message) const;

    // The key `message` would map, when it is one that learning accepts for `target`.
    static std::optional<MidiKey> learnableKey(const MidiMessage& message, const Command& target);
    // Maps `key` to `command`; the command's earlier keys are dropped, so one press learns.
    void bind(const MidiKey& key, const Command& command);
    std::optional<Command> commandOf(const MidiKey& key) const;
    std::optional<MidiKey> keyOf(const Command& command) const;

    // The message that lights cart `cart`'s pad in `state`: a note-on (or a control change,
    // for a pad learnt as one) on the key of its fire command, else of any of its commands.
    std::optional<MidiMessage> lightFor(int cart, session::CartState state) const;
    int velocity(session::CartState state) const { return velocities_[std::size_t(state)]; }

    QStringList inputPorts;
    QStringList outputPorts;

private:
    bool readLine(const QString& line);

    std::map<MidiKey, Command> mappings_;
    std::array<int, 7> velocities_ = kDefaultVelocities;
    QStringList damaged_;
};

// The map in `programDir`; a missing file gives an empty map with the default velocities.
MidiMap readMidiMap(const QString& programDir);
// Replaces the file through a temporary one; false when that failed (the old file stays).
bool writeMidiMap(const QString& programDir, const MidiMap& map);

} // namespace remote

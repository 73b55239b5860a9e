#pragma once
// Connections between the program's own MIDI ports (made by RtMidi, which connects a port to
// one other at most) and the controller's ports, made with the backends' own APIs.
#include <QString>
#include <QStringList>

namespace remote {

bool jackServerRuns();

// Connects `ownClient`'s ports `ownInput` and `ownOutput` (of this process) from the source
// ports `sources` and to the destination ports `destinations`; an empty list means every
// hardware port. Returns the names that could not be connected.
struct MidiConnections {
    QString ownClient;
    QString ownInput;
    QString ownOutput;
    QStringList sources;
    QStringList destinations;
};
QStringList connectJackMidi(const MidiConnections& wanted);
QStringList connectAlsaMidi(const MidiConnections& wanted);

// Full port names a controller can be connected through, for the setup dialog.
QStringList jackMidiPorts(bool sources);
QStringList alsaMidiPorts(bool sources);

} // namespace remote

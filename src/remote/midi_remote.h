#pragma once
// MIDI remote control on the UI thread: the map from bandoramidi.ini, the ports, the wall
// commands a pad gives, learning a pad for a command, and the pads' lights.
#include "remote/midi_io.h"
#include "remote/midi_map.h"
#include "session/session_types.h"

#include <QObject>
#include <QString>

#include <optional>

namespace remote {

class MidiRemote : public QObject {
    Q_OBJECT
public:
    MidiRemote(session::WallCommands& wall, QString programDir, QObject* parent = nullptr);

    // Reads bandoramidi.ini (a new file gets the default light table) and opens the ports.
    // Returns the line for the setup dialog; fileProblem() the text to say once about a
    // damaged file (empty when it was fine).
    QString start(MidiBackend backend = MidiBackend::Auto);
    QString statusLine() const { return io_.statusLine(); }
    bool available() const { return io_.available(); }
    QString fileProblem() const { return map_.damageText(); }
    const MidiMap& map() const { return map_; }

    // The next pad pressed becomes the key of `target`; Esc in the window calls cancel.
    void learn(const Command& target) { learning_ = target; }
    void cancelLearning() { learning_.reset(); }
    bool learning() const { return learning_.has_value(); }

    // Lights the cart's pad for its new state. Called from the session's signal.
    void stateChanged(int cart, session::CartState state);

    // A message from the input port (also the entry for tests without ports).
    void handle(const MidiMessage& message);

signals:
    // A pad was learnt; `saveError` is empty when bandoramidi.ini was written.
    void learnt(remote::Command command, QString saveError);
    // The wall refused a command given by a pad.
    void refused(QString reason);

private:
    session::WallCommands& wall_;
    QString programDir_;
    MidiMap map_;
    MidiIo io_;
    std::optional<Command> learning_;
};

} // namespace remote

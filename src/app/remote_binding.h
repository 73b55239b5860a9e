#pragma once
// Remote control in the running program: the OSC server and the MIDI ports, started from
// bandoraext.ini and bandoramidi.ini once the wall session has opened its devices, and fed
// with the wall's state (each cart's state and name, the profile, the time left of carts on
// air) for controllers' lights and listeners. Start problems are said once through the
// message sink; the program runs on without the part that failed.
//
// UI thread only: the OSC network thread and RtMidi's input thread post what they receive to
// this thread, so commands reach the session here and never from another thread.
#include "remote/remote_command.h"
#include "session/session_types.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace core {
class MessageSink;
}
namespace session {
class WallSession;
}
namespace remote {
class MidiRemote;
class OscServer;
enum class MidiBackend;
} // namespace remote

namespace app {

class RemoteBinding : public QObject {
    Q_OBJECT
public:
    RemoteBinding(session::WallSession& session, core::MessageSink& messages,
                  QObject* parent = nullptr);
    ~RemoteBinding() override;

    // Starts OSC and MIDI (once; later calls do nothing). `backend` Auto: the ALSA sequencer
    // where there is one, else JACK when a server runs.
    void start();
    void start(remote::MidiBackend backend);
    bool started() const { return started_; }

    // The setup dialog's remote-control line: OSC on or off, its port and its refused
    // datagrams, then the MIDI line.
    QString statusLine() const;
    QString midiStatusLine() const;
    bool midiAvailable() const;
    // The key learnt for `command` ("NOTE 1 36"), empty when none.
    QString keyOf(const remote::Command& command) const;

    // The next pad pressed gives `command`; cancelLearning() (Esc) forgets it.
    void learn(const remote::Command& command);
    void cancelLearning();
    bool learning() const;

    remote::OscServer& osc() { return *osc_; }
    remote::MidiRemote& midi() { return *midi_; }

signals:
    // A pad was learnt for `command` (and bandoramidi.ini written, or its failure said).
    void learnt(const remote::Command& command);
    // The wall refused what a pad asked (a pad has no answer channel, unlike OSC's /error).
    void padRefused(const QString& reason);

private:
    void connectSession();
    void sendWholeWall();
    void onStateChanged(int cart, session::CartState state);
    void onCartChanged(int cart);
    void sendRemainingTimes();
    void onLearnt(const remote::Command& command, const QString& saveError);
    QString cartName(int cart) const;

    session::WallSession& session_;
    core::MessageSink& messages_;
    std::unique_ptr<remote::OscServer> osc_;
    std::unique_ptr<remote::MidiRemote> midi_;
    bool started_ = false;
    // What listeners were last told of each cart's name (index = cart number).
    std::array<QString, session::kCartCount + 1> names_{};
};

} // namespace app

#pragma once
// MIDI ports of the program's own, through RtMidi: the ALSA sequencer where the machine has
// one, else JACK when a JACK server runs, else none (a status line says so; nothing throws).
// RtMidi's input thread (on JACK, the server's process thread) only queues each message in a
// lock-free ring and rings an eventfd; the UI thread drains the ring and emits received().
#include "audio/engine/spsc.h"
#include "remote/midi_map.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QSocketNotifier;
class RtMidiIn;
class RtMidiOut;

namespace remote {

enum class MidiBackend { Auto, Alsa, Jack, None };

class MidiIo : public QObject {
    Q_OBJECT
public:
    static constexpr auto kClientName = "Bandora";
    static constexpr auto kInputName = "entrada";
    static constexpr auto kOutputName = "saida";

    explicit MidiIo(QObject* parent = nullptr);
    ~MidiIo() override;
    MidiIo(const MidiIo&) = delete;
    MidiIo& operator=(const MidiIo&) = delete;

    // Opens one input and one output port and connects them to the ports named (ALSA
    // "client:port" or JACK port names), or to every hardware port when none are named.
    // Auto: ALSA when /dev/snd/seq exists, else JACK when a server answers. Returns the status
    // line for the setup dialog; available() tells whether ports are open.
    QString open(const QStringList& inputs, const QStringList& outputs,
                 MidiBackend backend = MidiBackend::Auto);
    void close();
    bool available() const { return in_ != nullptr; }
    MidiBackend backend() const { return backend_; }
    const QString& statusLine() const { return status_; }

    // UI thread. Dropped when no port is open.
    void send(const MidiMessage& message);

signals:
    void received(remote::MidiMessage message);

private:
    static void onInput(double stamp, std::vector<unsigned char>* bytes, void* self);
    void drainInput();
    QString openPorts(MidiBackend backend, const QStringList& inputs, const QStringList& outputs);

    // Producer: RtMidi's input thread; consumer: the UI thread. A press that finds the ring
    // full (the UI thread stalled for 256 presses) is dropped rather than waited for.
    audio::engine::SpscQueue<MidiMessage, 256> inbox_;
    int doorbell_ = -1; // eventfd: the input thread's wake-up for the UI thread
    std::unique_ptr<QSocketNotifier> doorbellNotifier_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    MidiBackend backend_ = MidiBackend::None;
    QString status_;
};

// The ports the named backend has for connecting to (full names), for the setup dialog.
QStringList midiSourcePorts(MidiBackend backend);
QStringList midiDestinationPorts(MidiBackend backend);

} // namespace remote

Q_DECLARE_METATYPE(remote::MidiMessage)

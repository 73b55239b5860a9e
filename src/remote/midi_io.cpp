#include "remote/midi_io.h"

#include "remote/midi_connect.h"

#include <RtMidi.h>

#include <QFileInfo>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

namespace remote {

namespace {

RtMidi::Api apiOf(MidiBackend backend) {
    return backend == MidiBackend::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

MidiBackend chooseBackend(MidiBackend wanted) {
    if (wanted != MidiBackend::Auto) {
        return wanted;
    }
    if (QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        return MidiBackend::Alsa;
    }
    return jackServerRuns() ? MidiBackend::Jack : MidiBackend::None;
}

QString backendName(MidiBackend backend) {
    return backend == MidiBackend::Alsa ? QStringLiteral("ALSA") : QStringLiteral("JACK");
}

// With a callback set, RtMidi reports errors through it instead of throwing. While the ports
// open, the first error is kept to be said; afterwards (a port that went away) nothing may end
// the program.
void keepFirstError(RtMidiError::Type type, const std::string& text, void* kept) {
    auto* error = static_cast<QString*>(kept);
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING && error->isEmpty()) {
        *error = QString::fromStdString(text);
    }
}
void ignoreError(RtMidiError::Type, const std::string&, void*) {}

} // namespace

MidiIo::MidiIo(QObject* parent)
    : QObject(parent), doorbell_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    qRegisterMetaType<remote::MidiMessage>();
    if (doorbell_ >= 0) {
        doorbellNotifier_ = std::make_unique<QSocketNotifier>(doorbell_, QSocketNotifier::Read);
        connect(doorbellNotifier_.get(), &QSocketNotifier::activated, this, &MidiIo::drainInput);
    }
}

MidiIo::~MidiIo() {
    close();
    doorbellNotifier_.reset();
    if (doorbell_ >= 0) {
        ::close(doorbell_);
    }
}

QString MidiIo::open(const QStringList& inputs, const QStringList& outputs, MidiBackend backend) {
    close();
    backend_ = chooseBackend(backend);
    if (backend_ == MidiBackend::None) {
        status_ = QStringLiteral("MIDI indisponível: nem sequenciador ALSA nem servidor JACK");
        return status_;
    }
    try {
        status_ = openPorts(backend_, inputs, outputs);
    } catch (const RtMidiError& error) {
        close();
        status_ = QStringLiteral("MIDI indisponível (%1): %2")
                      .arg(backendName(backend), QString::fromStdString(error.getMessage()));
    }
    return status_;
}

QString MidiIo::openPorts(MidiBackend backend, const QStringList& inputs,
                          const QStringList& outputs) {
    QString error;
    in_ = std::make_unique<RtMidiIn>(apiOf(backend), kClientName);
    in_->setErrorCallback(keepFirstError, &error);
    in_->ignoreTypes(true, true, true);
    in_->setCallback(&MidiIo::onInput, this);
    in_->openVirtualPort(kInputName);
    out_ = std::make_unique<RtMidiOut>(apiOf(backend), kClientName);
    out_->setErrorCallback(keepFirstError, &error);
    out_->openVirtualPort(kOutputName);
    in_->setErrorCallback(ignoreError);
    out_->setErrorCallback(ignoreError);
    if (!error.isEmpty()) {
        throw RtMidiError(error.toStdString());
    }
    const MidiConnections wanted{QLatin1String(kClientName), QLatin1String(kInputName),
                                 QLatin1String(kOutputName), inputs, outputs};
    const QStringList missing =
        backend == MidiBackend::Alsa ? connectAlsaMidi(wanted) : connectJackMidi(wanted);
    QString status = QStringLiteral("MIDI ligado (%1)").arg(backendName(backend));
    if (!missing.isEmpty()) {
        status +=
            QStringLiteral(", portas não encontradas: %1").arg(missing.join(QStringLiteral(", ")));
    }
    return status;
}

void MidiIo::close() {
    if (in_) {
        in_->cancelCallback();
    }
    in_.reset();
    out_.reset();
    backend_ = MidiBackend::None;
}

void MidiIo::send(const MidiMessage& message) {
    if (!out_) {
        return;
    }
    const unsigned char bytes[3] = {message.status, message.data1, message.data2};
    out_->sendMessage(bytes, sizeof bytes);
}

// RtMidi's input thread, on JACK inside the server's cycle: no lock, no allocation. A posted
// Qt event would take both, and a late cycle loses the presses of the next one.
void MidiIo::onInput(double, std::vector<unsigned char>* bytes, void* self) {
    auto* io = static_cast<MidiIo*>(self);
    if (!bytes || bytes->size() != 3 || io->doorbell_ < 0 ||
        !io->inbox_.push({(*bytes)[0], (*bytes)[1], (*bytes)[2]})) {
        return;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(io->doorbell_, &one, sizeof one);
}

void MidiIo::drainInput() {
    std::uint64_t rings = 0;
    [[maybe_unused]] const auto read = ::read(doorbell_, &rings, sizeof rings);
    MidiMessage message;
    while (inbox_.tryPop(message)) {
        emit received(message);
    }
}

QStringList midiSourcePorts(MidiBackend backend) {
    return backend == MidiBackend::Alsa ? alsaMidiPorts(true) : jackMidiPorts(true);
}

QStringList midiDestinationPorts(MidiBackend backend) {
    return backend == MidiBackend::Alsa ? alsaMidiPorts(false) : jackMidiPorts(false);
}

} // namespace remote

#include "remote/midi_connect.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <unistd.h>

namespace remote {

namespace {

void quiet(const char*) {}

jack_client_t* openJack() {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    return jack_client_open("bandora-midi-probe", JackNoStartServer, nullptr);
}

QStringList jackPorts(jack_client_t* client, const char* pattern, unsigned long flags) {
    QStringList names;
    if (const char** ports = jack_get_ports(client, pattern, JACK_DEFAULT_MIDI_TYPE, flags)) {
        for (const char** p = ports; *p; ++p) {
            names << QString::fromUtf8(*p);
        }
        jack_free(ports);
    }
    return names;
}

struct AlsaPort {
    QString name; // "client:port"
    snd_seq_addr_t address{};
    unsigned capability = 0;
    unsigned type = 0;
    bool ours = false;
    QString portName;
};

std::vector<AlsaPort> alsaPorts(snd_seq_t* seq, const QString& ownClient) {
    std::vector<AlsaPort> ports;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const QString clientName = QString::fromUtf8(snd_seq_client_info_get_name(client));
        const bool ours =
            clientName == ownClient && snd_seq_client_info_get_pid(client) == getpid();
        snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            AlsaPort found;
            found.portName = QString::fromUtf8(snd_seq_port_info_get_name(port));
            found.name = clientName + QLatin1Char(':') + found.portName;
            found.address = *snd_seq_port_info_get_addr(port);
            found.capability = snd_seq_port_info_get_capability(port);
            found.type = snd_seq_port_info_get_type(port);
            found.ours = ours;
            ports.push_back(found);
        }
    }
    return ports;
}

bool alsaSubscribe(snd_seq_t* seq, const snd_seq_addr_t& sender, const snd_seq_addr_t& dest) {
    snd_seq_port_subscribe_t* subscription = nullptr;
    snd_seq_port_subscribe_alloca(&subscription);
    snd_seq_port_subscribe_set_sender(subscription, &sender);
    snd_seq_port_subscribe_set_dest(subscription, &dest);
    return snd_seq_subscribe_port(seq, subscription) == 0;
}

const AlsaPort* ownAlsaPort(const std::vector<AlsaPort>& ports, const QString& name) {
    for (const AlsaPort& port : ports) {
        if (port.ours && port.portName == name) {
            return &port;
        }
    }
    return nullptr;
}

// Connects `own` with every port that `wanted` names, or with every hardware port offering
// `capability` when it names none.
QStringList connectAlsaSide(snd_seq_t* seq, const std::vector<AlsaPort>& ports, const AlsaPort* own,
                            const QStringList& wanted, unsigned capability, bool ownIsDestination) {
    QStringList missing = wanted;
    for (const AlsaPort& port : ports) {
        const bool chosen = wanted.isEmpty()
                                ? !port.ours && (port.type & SND_SEQ_PORT_TYPE_HARDWARE) &&
                                      (port.capability & capability) == capability
                                : wanted.contains(port.name);
        if (!chosen || !own) {
            continue;
        }
        const bool done = ownIsDestination ? alsaSubscribe(seq, port.address, own->address)
                                           : alsaSubscribe(seq, own->address, port.address);
        if (done) {
            missing.removeAll(port.name);
        }
    }
    return missing;
}

} // namespace

bool jackServerRuns() {
    jack_client_t* client = openJack();
    if (!client) {
        return false;
    }
    jack_client_close(client);
    return true;
}

QStringList connectJackMidi(const MidiConnections& wanted) {
    jack_client_t* client = openJack();
    if (!client) {
        return wanted.sources + wanted.destinations;
    }
    // JACK renames a second client of the same name "Name-01".
    const auto own = [&](const QString& port, unsigned long flags) {
        const QByteArray pattern = ("^" + wanted.ownClient + "(-[0-9]+)?:" + port + "$").toUtf8();
        const QStringList found = jackPorts(client, pattern.constData(), flags);
        return found.isEmpty() ? QString() : found.last();
    };
    const QString input = own(wanted.ownInput, JackPortIsInput);
    const QString output = own(wanted.ownOutput, JackPortIsOutput);
    const QStringList sources =
        wanted.sources.isEmpty() ? jackPorts(client, nullptr, JackPortIsPhysical | JackPortIsOutput)
                                 : wanted.sources;
    const QStringList destinations =
        wanted.destinations.isEmpty()
            ? jackPorts(client, nullptr, JackPortIsPhysical | JackPortIsInput)
            : wanted.destinations;
    QStringList failed;
    const auto link = [&](const QString& from, const QString& to, const QString& named) {
        const int result = jack_connect(client, from.toUtf8().constData(), to.toUtf8().constData());
        if (from.isEmpty() || to.isEmpty() || (result != 0 && result != EEXIST)) {
            failed << named;
        }
    };
    for (const QString& source : sources) {
        link(source, input, source);
    }
    for (const QString& destination : destinations) {
        link(output, destination, destination);
    }
    jack_client_close(client);
    return failed;
}

QStringList connectAlsaMidi(const MidiConnections& wanted) {
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
        return wanted.sources + wanted.destinations;
    }
    const std::vector<AlsaPort> ports = alsaPorts(seq, wanted.ownClient);
    const unsigned readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    const unsigned writable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    QStringList failed = connectAlsaSide(seq, ports, ownAlsaPort(ports, wanted.ownInput),
                                         wanted.sources, readable, true);
    failed += connectAlsaSide(seq, ports, ownAlsaPort(ports, wanted.ownOutput), wanted.destinations,
                              writable, false);
    snd_seq_close(seq);
    return failed;
}

QStringList jackMidiPorts(bool sources) {
    jack_client_t* client = openJack();
    if (!client) {
        return {};
    }
    const QStringList names =
        jackPorts(client, nullptr, sources ? JackPortIsOutput : JackPortIsInput);
    jack_client_close(client);
    return names;
}

QStringList alsaMidiPorts(bool sources) {
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
        return {};
    }
    const unsigned wanted = sources ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                    : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    QStringList names;
    for (const AlsaPort& port : alsaPorts(seq, QString())) {
        if ((port.capability & wanted) == wanted) {
            names << port.name;
        }
    }
    snd_seq_close(seq);
    return names;
}

} // namespace remote

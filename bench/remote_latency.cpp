// A cart fired by OSC against the same cart fired by a click, on the real wall window with its
// remote control, in the same run: from the datagram sent (or the click) to the cart's first
// sample out of the mixer. Trials alternate between the two at random points of the mixer's
// block. Plays on the no-sound device; with --midi, on the JACK server's first playback pair,
// against a pad's note-on sent through RtMidi's JACK backend.
//
// Needs an X display and, for --midi, a JACK server (run under the test script's environment).
//   remote_latency [trials [--midi]]        default 300
#include "app/main_window.h"
#include "app/remote_binding.h"
#include "app/window_remote_control.h"
#include "audio/cart_player.h"
#include "audio/engine/sound_engine.h"
#include "bench_util.h"
#include "config/ext_settings.h"
#include "printed_messages.h"
#include "remote/midi_map.h"
#include "remote/midi_pads.h"
#include "remote/osc_server.h"
#include "session/wall_session.h"
#include "support/loopback_udp.h"
#include "support/wall_session_access.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <jack/jack.h>
#include <lo/lo.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kCart = 1;
constexpr double kNeverMs = 1e9; // the cart did not start

// The clock the mixer stamps its first samples with.
std::int64_t monotonicNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray fireDatagram() {
    lo_message message = lo_message_new();
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message, "/cart/1/fire", nullptr, &size);
    QByteArray datagram(static_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    lo_message_free(message);
    return datagram;
}

// Runs the program's events, as its loop would, until the cart's first sample left the mixer.
double untilFirstSample(app::MainWindow& w, std::int64_t fromNs) {
    const audio::engine::Channel* channel =
        session::WallSessionAccess::cartPlayer(w.session(), kCart).channel();
    // The stamp of the play before stays until the mixer takes the new one: only a later one
    // counts.
    std::int64_t started = 0;
    for (int i = 0; channel != nullptr && i < 20000 && (started = channel->startedNs()) <= fromNs;
         ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    w.session().stop(kCart);
    return started <= fromNs ? kNeverMs : double(started - fromNs) / 1e6;
}

// The program's folder: one cart; OSC on a free port; in MIDI mode both players on the JACK
// server's first playback pair and a pad mapped to the cart.
struct Setup {
    QTemporaryDir folder;
    int oscPort = freeLoopbackUdpPort();

    explicit Setup(bool midi) {
        const QDir dir(folder.path());
        QFile cfg(dir.filePath(QStringLiteral("BANDORA40.CFG")));
        cfg.open(QIODevice::WriteOnly);
        cfg.write(QByteArray("Bandora\r\nbench\r\nTAMBR=3000\r\n") +
                  (midi ? "DVTRA=0\r\nDVCUE=0\r\n" : "DVTRA=-1\r\nDVCUE=-1\r\n") +
                  "MIXAGEM=900\r\nFADE=800\r\n");
        QFile profile(dir.filePath(QStringLiteral("R.PFL")));
        profile.open(QIODevice::WriteOnly);
        const auto wav = bench::tone("remote-latency.wav", 5.0, 660, "");
        profile.write(QStringLiteral("|001|REMOTO|%1|9818331|1|0|0|5000|\r\n")
                          .arg(QString::fromStdString(wav.string()))
                          .toUtf8());
        config::ExtSettings ext;
        ext.oscPort = oscPort;
        if (midi) {
            ext.jackOutputPorts = ext.jackCuePorts = {QStringLiteral("system:playback_1"),
                                                      QStringLiteral("system:playback_2")};
            QFile map(dir.filePath(QLatin1String(remote::kMidiMapFile)));
            map.open(QIODevice::WriteOnly);
            map.write("ENTRADA=pads:out\r\nSAIDA=lights:in\r\nNOTE 1 36 = /cart/1/fire\r\n");
        }
        config::writeExtSettings(folder.path(), ext);
    }
};

// Each remote trigger: OSC datagrams, or a pad's note-on on JACK.
class RemoteTrigger {
public:
    RemoteTrigger(bool midi, int oscPort) : midi_(midi), fire_(fireDatagram()) {
        to_.sin_family = AF_INET;
        to_.sin_port = htons(std::uint16_t(oscPort));
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (midi) {
            pads_ = std::make_unique<MidiPads>();
        }
    }
    ~RemoteTrigger() { close(sender_); }
    void fire() {
        if (midi_) {
            pads_->press(36);
            return;
        }
        sendto(sender_, fire_.constData(), std::size_t(fire_.size()), 0,
               reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    }
    const char* name() const { return midi_ ? "MIDI note-on (JACK)" : "OSC /cart/1/fire"; }

private:
    bool midi_;
    QByteArray fire_;
    int sender_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to_{};
    std::unique_ptr<MidiPads> pads_;
};

// Counts the JACK server's xruns during the run: a client whose cycle ran late misses the
// MIDI events of the cycle it skipped, so an unanswered press is to be read against these.
class XrunCounter {
public:
    XrunCounter() : client_(jack_client_open("xruns", JackNoStartServer, nullptr)) {
        if (client_ != nullptr) {
            jack_set_xrun_callback(client_, &XrunCounter::onXrun, this);
            jack_activate(client_);
        }
    }
    ~XrunCounter() {
        if (client_ != nullptr) {
            jack_client_close(client_);
        }
    }
    int count() const { return count_.load(); }

private:
    static int onXrun(void* self) {
        static_cast<XrunCounter*>(self)->count_.fetch_add(1);
        return 0;
    }
    jack_client_t* client_;
    std::atomic<int> count_{0};
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool midi = argc > 2 && std::strcmp(argv[2], "--midi") == 0;
    const int trials = argc > 1 ? std::atoi(argv[1]) : 300;
    Setup setup(midi);
    RemoteTrigger trigger(midi, setup.oscPort); // the pad's ports exist before the program looks

    auto engine = audio::engine::makeSoundEngine();
    PrintedMessages messages;
    app::MainWindowEnvironment env;
    env.programDir = setup.folder.path();
    env.messages = &messages;
    env.sound = engine.get();
    app::MainWindow w(env);
    app::WindowRemoteControl remote(w, messages);
    w.showOnScreen();
    runEvents(1500);
    w.session().activateListed(0);
    runEvents(500);
    const bool ready = midi ? remote.remote().midiAvailable() : remote.remote().osc().listening();
    if (!ready || w.session().cartState(kCart) != session::CartState::Loaded) {
        std::printf("not ready: %s, cart %s\n", qPrintable(remote.remote().statusLine()),
                    qPrintable(session::stateName(w.session().cartState(kCart))));
        return 1;
    }

    std::unique_ptr<XrunCounter> xruns = midi ? std::make_unique<XrunCounter>() : nullptr;
    std::vector<double> clicks, remotes;
    for (int i = 0; i < 2 * trials; ++i) {
        runEvents(20 + (i * 7919) % 7); // a random point of the mixer's block
        const std::int64_t t0 = monotonicNs();
        if (i % 2 == 0) {
            w.session().click(kCart);
            clicks.push_back(untilFirstSample(w, t0));
        } else {
            trigger.fire();
            remotes.push_back(untilFirstSample(w, t0));
        }
    }
    // Triggers the cart never answered within 2 s are counted apart, not timed.
    const auto lost = [](std::vector<double>& times) {
        const auto kept =
            std::remove_if(times.begin(), times.end(), [](double ms) { return ms >= kNeverMs; });
        const long count = long(times.end() - kept);
        times.erase(kept, times.end());
        return count;
    };
    const long clicksLost = lost(clicks);
    const long remotesLost = lost(remotes);
    // A JACK period is 128 frames at 48 kHz.
    const double allowance = midi ? 1.0 + 128.0 * 1000.0 / 48000.0 : 1.0;
    const double clickP99 = bench::percentile(clicks, 99);
    const double remoteP99 = bench::percentile(remotes, 99);
    std::printf("%d trials each, to the first sample out of the mixer%s: click p50 %.2f ms, p99 "
                "%.2f ms, unanswered %ld; %s p50 %.2f ms, p99 %.2f ms, max %.2f ms, unanswered "
                "%ld; target p99 <= click p99 + %.2f ms: %s\n",
                trials, midi ? " on JACK" : "", bench::median(clicks), clickP99, clicksLost,
                trigger.name(), bench::median(remotes), remoteP99, bench::percentile(remotes, 100),
                remotesLost, allowance,
                remoteP99 <= clickP99 + allowance && remotesLost == 0 ? "met" : "NOT met");
    if (xruns) {
        std::printf("JACK xruns during the trials: %d\n", xruns->count());
    }
    return 0;
}

// A cart fired by OSC against the same cart fired by a click, on the real wall window with its
// remote control, in the same run: from the datagram sent (or the click) to the cart's first
// sample out of the mixer. Trials alternate between the two at random points of the mixer's
// block. Plays on the no-sound device.
//
// Needs an X display (run under the test script's Xvfb).
//   remote_latency [trials]        default 300
#include "app/main_window.h"
#include "app/remote_binding.h"
#include "app/window_remote_control.h"
#include "audio/cart_player.h"
#include "audio/engine/sound_engine.h"
#include "bench_util.h"
#include "config/ext_settings.h"
#include "printed_messages.h"
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

#include <arpa/inet.h>
#include <lo/lo.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kCart = 1;

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
    return started <= fromNs ? 1e9 : double(started - fromNs) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int trials = argc > 1 ? std::atoi(argv[1]) : 300;
    const auto wav = bench::tone("remote-latency.wav", 5.0, 660, "");

    QTemporaryDir folder;
    QDir dir(folder.path());
    QFile cfg(dir.filePath(QStringLiteral("BANDORA40.CFG")));
    cfg.open(QIODevice::WriteOnly);
    cfg.write(
        "Bandora\r\nbench\r\nTAMBR=3000\r\nDVTRA=-1\r\nDVCUE=-1\r\nMIXAGEM=900\r\nFADE=800\r\n");
    cfg.close();
    QFile profile(dir.filePath(QStringLiteral("R.PFL")));
    profile.open(QIODevice::WriteOnly);
    profile.write(QStringLiteral("|001|REMOTO|%1|9818331|1|0|0|5000|\r\n")
                      .arg(QString::fromStdString(wav.string()))
                      .toUtf8());
    profile.close();
    config::ExtSettings ext;
    ext.oscPort = freeLoopbackUdpPort();
    config::writeExtSettings(folder.path(), ext);

    auto engine = audio::engine::makeSoundEngine();
    PrintedMessages messages;
    app::MainWindowEnvironment env;
    env.programDir = folder.path();
    env.messages = &messages;
    env.sound = engine.get();
    app::MainWindow w(env);
    app::WindowRemoteControl remote(w, messages);
    w.showOnScreen();
    runEvents(1500);
    w.session().activateListed(0);
    runEvents(500);
    if (!remote.remote().osc().listening() ||
        w.session().cartState(kCart) != session::CartState::Loaded) {
        std::printf("not ready: OSC %s, cart %s\n", qPrintable(remote.remote().statusLine()),
                    qPrintable(session::stateName(w.session().cartState(kCart))));
        return 1;
    }

    const int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(std::uint16_t(ext.oscPort));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const QByteArray fire = fireDatagram();

    std::vector<double> clicks, osc;
    for (int i = 0; i < 2 * trials; ++i) {
        runEvents(20 + (i * 7919) % 7); // a random point of the mixer's 4 ms block
        const std::int64_t t0 = monotonicNs();
        if (i % 2 == 0) {
            w.session().click(kCart);
            clicks.push_back(untilFirstSample(w, t0));
        } else {
            sendto(sender, fire.constData(), std::size_t(fire.size()), 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
            osc.push_back(untilFirstSample(w, t0));
        }
    }
    close(sender);
    const double clickP99 = bench::percentile(clicks, 99);
    const double oscP99 = bench::percentile(osc, 99);
    std::printf("%d trials each, to the first sample out of the mixer: click p50 %.2f ms, p99 "
                "%.2f ms; OSC /cart/1/fire datagram p50 %.2f ms, p99 %.2f ms, max %.2f ms; target "
                "OSC p99 <= click p99 + 1 ms: %s\n",
                trials, bench::median(clicks), clickP99, bench::median(osc), oscP99,
                bench::percentile(osc, 100), oscP99 <= clickP99 + 1.0 ? "met" : "NOT met");
    return 0;
}

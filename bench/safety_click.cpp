// A click on the wall session with the as-run log and the wall journal following it, against
// the same click with both off, alternating in one run. Before each click a cart of the wall is
// changed, so the journal's worker is writing a full wall while the click runs; each cart
// fired is stopped again by a second click (its row goes to the log). Both clicks are timed
// on the calling (user-interface) thread. Plays on the no-sound device.
//   bench_safety_click [clicks per side]        default 500
#include "audio/engine/sound_engine.h"
#include "bench_util.h"
#include "carts/editing_ports.h"
#include "config/device_settings.h"
#include "printed_messages.h"
#include "safety/show_safety.h"
#include "session/wall_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

class NoDialogs : public carts::EditingDialogs, public session::ProfileNamePrompt {
public:
    std::optional<QString> chooseAudioFile(const QString&) override { return std::nullopt; }
    std::optional<carts::Colour> chooseColour() override { return std::nullopt; }
    std::optional<QString> rename(int, const QString&) override { return std::nullopt; }
    std::optional<QString> askProfileName() override { return std::nullopt; }
};

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Every cart loaded as a search row dropped on it would load it (its length measured).
void loadCart(session::WallSession& s, int n, const QString& name, const QString& file) {
    s.loadSearchRow(n, name, file, carts::kDefaultFaceColour);
}

struct Side {
    std::vector<double> fire, stop;
};

// One fire and one stop of `cart`, after a change of another cart of the wall.
void clickOnce(session::WallSession& s, int cart, int round, Side& side) {
    loadCart(s, 96, QStringLiteral("Vinheta %1").arg(round), s.wall().table[1].path);
    runEvents(1); // the journal's write is handed over; its worker runs during the click
    double t = bench::now();
    s.click(cart);
    side.fire.push_back((bench::now() - t) * 1e3);
    runEvents(30);
    t = bench::now();
    s.click(cart);
    side.stop.push_back((bench::now() - t) * 1e3);
    runEvents(20);
}

void report(const char* label, const std::vector<double>& ms) {
    std::printf("%-40s p50 %.3f  p99 %.3f  max %.3f ms (n=%zu)\n", label, bench::percentile(ms, 50),
                bench::percentile(ms, 99), *std::max_element(ms.begin(), ms.end()), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int clicks = argc > 1 ? std::atoi(argv[1]) : 500;
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("click-bench-XXXXXX")));
    config::DeviceSettings devices; // every player on the no-sound device
    devices.outputDevice = -1;
    devices.cueDevice = -1;
    config::writeDeviceSettings(dir.path(), devices);
    const auto file = bench::tone("click.mp3", 30.0, 440, "-c:a libmp3lame -b:a 192k");

    auto engine = audio::engine::makeSoundEngine();
    PrintedMessages messages;
    NoDialogs dialogs;
    session::WallSession s(session::SessionDeps{dir.path(), *engine, messages, dialogs, dialogs});
    s.start();
    for (int n = 1; n <= session::kCartCount; ++n) {
        loadCart(s, n, QStringLiteral("Vinheta da programação %1").arg(n),
                 QString::fromStdString(file.string()));
    }
    for (int n = 1; n <= 8; ++n) { // every cart used has its file open, as on a wall in use
        s.click(n);
        runEvents(50);
        s.click(n);
    }
    runEvents(500);

    Side on, off;
    constexpr int kBatch = 10; // clicks per side before switching
    for (int done = 0; done < clicks; done += kBatch) {
        {
            safety::ShowSafety safety(s, dir.path());
            safety.logStartMessage();
            safety.offerRecovery(messages);
            for (int i = 0; i < kBatch; ++i) {
                clickOnce(s, 1 + i % 8, done + i, on);
            }
            safety.endCleanly();
        }
        for (int i = 0; i < kBatch; ++i) {
            clickOnce(s, 1 + i % 8, done + i, off);
        }
    }
    report("fire, log and journal on", on.fire);
    report("fire, both off", off.fire);
    report("stop, log and journal on", on.stop);
    report("stop, both off", off.stop);
    std::printf("p99 difference: fire %+.3f ms, stop %+.3f ms (target within 0.5 ms)\n",
                bench::percentile(on.fire, 99) - bench::percentile(off.fire, 99),
                bench::percentile(on.stop, 99) - bench::percentile(off.stop, 99));
}

// The wall journal with a full wall of 96 loaded carts: how long the user-interface thread
// spends handing a change over (the wall copied, state queued), and how long the worker
// takes to have it on disk (profile lines, temporary file, fsync, rename).
// Usage: bench_journal_write [writes] — the folder is a temporary one under the working
// directory, so the figures are those of the disk the program would run from.
#include "bench_util.h"
#include "safety/wall_journal.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>

namespace {

carts::CartTable fullWall() {
    carts::CartTable table;
    for (int n = 1; n <= carts::kCartCount; ++n) {
        carts::Cart& cart = table[n];
        cart.name = QStringLiteral("Vinheta da programação %1").arg(n);
        cart.path = QStringLiteral("/srv/audio/vinhetas/2026/dezembro/vinheta_%1_final.mp3").arg(n);
        cart.setDurationMs(30000 + n);
        cart.setLoop(n % 7 == 0);
    }
    return table;
}

void report(const char* label, const std::vector<double>& ms) {
    std::printf("%-48s p50 %.3f  p99 %.3f  max %.3f ms (n=%zu)\n", label, bench::percentile(ms, 50),
                bench::percentile(ms, 99), *std::max_element(ms.begin(), ms.end()), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    const int writes = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir(QDir::current().filePath("journal-bench-XXXXXX"));
    safety::WallJournal journal(dir.path());
    const carts::CartTable table = fullWall();
    const QList<int> block{3, 17, 42, 5, 88};

    // One change at a time, each on disk before the next.
    std::vector<double> handOver, onDisk;
    for (int i = 0; i < writes; ++i) {
        const double start = bench::now();
        journal.write({table, block, QStringLiteral("MANHÃ"), true});
        const double handed = bench::now();
        journal.flush();
        const double written = bench::now();
        handOver.push_back((handed - start) * 1e3);
        onDisk.push_back((written - handed) * 1e3);
    }
    report("UI thread: wall copied + write()", handOver);
    report("worker: handed over -> on disk", onDisk);

    // Changes every 0.2 ms while the worker writes: the UI thread still never waits on it.
    std::vector<double> busy;
    for (int i = 0; i < writes; ++i) {
        const double start = bench::now();
        journal.write({table, block, QStringLiteral("MANHÃ"), true});
        busy.push_back((bench::now() - start) * 1e3);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    journal.flush();
    report("UI thread, changes every 0.2 ms while writing", busy);
    return 0;
}

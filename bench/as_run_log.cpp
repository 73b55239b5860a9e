// The as-run log: how long the user-interface thread spends on a play's start, a position and
// its end (the calls only queue work), and how long the worker takes to have the row on disk.
// Usage: bench_as_run_log [plays] — the folder is a temporary one under the working directory.
#include "safety/as_run_log.h"
#include "bench_util.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void report(const char* label, const std::vector<double>& ms) {
    std::printf("%-44s p50 %.3f  p99 %.3f  max %.3f ms (n=%zu)\n", label, bench::percentile(ms, 50),
                bench::percentile(ms, 99), *std::max_element(ms.begin(), ms.end()), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    const int plays = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir(QDir::current().filePath("as-run-bench-XXXXXX"));
    safety::AsRunLog log(dir.path(), &QDateTime::currentDateTime, [](const QString&) {
        return audio::FileTags{"Title", "Artist", ""};
    });
    log.recoverOpenPlays();

    std::vector<double> start, position, end, onDisk;
    for (int i = 1; i <= plays; ++i) {
        const session::PlayInfo play{i % 96 + 1,
                                     QStringLiteral("Vinheta %1").arg(i),
                                     QStringLiteral("/srv/audio/vinheta_%1.mp3").arg(i),
                                     QStringLiteral("MANHÃ"),
                                     session::PlayTrigger::Click,
                                     i};
        const QDateTime startTime = QDateTime::currentDateTime();
        double t = bench::now();
        log.playStarted(play, startTime);
        start.push_back((bench::now() - t) * 1e3);
        t = bench::now();
        log.position(i, 500);
        position.push_back((bench::now() - t) * 1e3);
        const QDateTime endTime = QDateTime::currentDateTime();
        t = bench::now();
        log.playEnded(i, session::PlayEnd::Cut, endTime, 1000);
        const double handed = bench::now();
        end.push_back((handed - t) * 1e3);
        log.flush();
        onDisk.push_back((bench::now() - handed) * 1e3);
    }
    report("UI thread: playStarted()", start);
    report("UI thread: position()", position);
    report("UI thread: playEnded()", end);
    report("worker: end handed over -> all on disk", onDisk);
    return 0;
}

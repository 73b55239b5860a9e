// The search window over the benchmark tree: how long a search takes from Enter to the filled
// grid, the longest the user-interface thread is busy meanwhile (a 1 ms timer's largest gap),
// and how long closing the window takes while a search runs.
//
//   QT_QPA_PLATFORM=offscreen bench_search_window [--tree DIR] [--runs N]
#include "search/search_window.h"
#include "audio/cart_player.h"
#include "audio/engine/sound_engine.h"
#include "bench_util.h"
#include "core/message_sink.h"
#include "search_tree.h"
#include "widgets/wrapping_grid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <cstring>

namespace {

class CountingMessages : public core::MessageSink {
public:
    void showMessage(const QString&, Icon, const QString&) override { ++shown; }
    bool confirm(const QString&) override { return false; }
    int shown = 0;
};

struct SearchFigures {
    double seconds = 0;
    double longestStallSeconds = 0;
    int rows = 0;
};

// Enter in the query field, then the event loop until the grid is filled.
SearchFigures timeSearch(search::SearchWindow& window) {
    SearchFigures figures;
    QEventLoop loop;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        figures.longestStallSeconds =
            std::max(figures.longestStallSeconds, sinceTick.nsecsElapsed() / 1e9);
        sinceTick.restart();
    });
    const auto done = QObject::connect(&window, &search::SearchWindow::searchFinished, [&] {
        figures.longestStallSeconds =
            std::max(figures.longestStallSeconds, sinceTick.nsecsElapsed() / 1e9);
        loop.quit();
    });
    const double start = bench::now();
    sinceTick.start();
    ticker.start();
    window.search();
    loop.exec();
    figures.seconds = bench::now() - start;
    figures.rows = window.grid()->rowCount() - 1;
    QObject::disconnect(done);
    return figures;
}

// Closes the window `afterMs` into a search; the close's own time, and whether anything
// arrived afterwards.
double timeCloseDuringSearch(search::SearchWindow& window, int afterMs, bool& leaked) {
    window.showWindow();
    bool finished = false;
    const auto done =
        QObject::connect(&window, &search::SearchWindow::searchFinished, [&] { finished = true; });
    window.search();
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < afterMs && !finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double start = bench::now();
    window.close();
    const double seconds = bench::now() - start;
    const bool finishedBeforeClose = finished;
    QElapsedTimer after;
    after.start();
    while (after.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    leaked = finished && !finishedBeforeClose;
    QObject::disconnect(done);
    return finishedBeforeClose ? -1 : seconds;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::filesystem::path tree = bench::mediaDir() / "search-tree";
    int runs = 9;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--tree") == 0)
            tree = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    bench::makeSearchTree(tree);

    CountingMessages messages;
    const auto sound = audio::engine::makeSoundEngine();
    audio::PlayerContext context(*sound, messages);
    audio::CartPlayer cue(context);
    search::SearchWindow window(QString::fromStdString(tree.string()), cue, messages);
    window.showWindow();
    std::printf("tree %s, median of %d runs\n", tree.c_str(), runs);

    for (const QString& query : {QString(), QStringLiteral("MA")}) {
        for (const bool contains : {false, true}) {
            (contains ? window.containsButton() : window.approximateButton())->setChecked(true);
            window.queryEdit()->setText(query);
            timeSearch(window); // warm-up
            std::vector<double> total, stall;
            SearchFigures figures;
            for (int run = 0; run < runs; ++run) {
                figures = timeSearch(window);
                total.push_back(figures.seconds);
                stall.push_back(figures.longestStallSeconds);
            }
            std::printf("%-10s query \"%s\": Enter to filled grid %.1f ms (%d rows), longest "
                        "busy stretch of the window %.1f ms (median), %.1f ms (max)\n",
                        contains ? "Contém" : "Aproximado", qPrintable(query),
                        bench::median(total) * 1000, figures.rows, bench::median(stall) * 1000,
                        *std::max_element(stall.begin(), stall.end()) * 1000);
        }
    }

    window.containsButton()->setChecked(true);
    window.queryEdit()->setText(QString());
    std::vector<double> closes;
    int leaks = 0;
    for (int run = 0; run < runs; ++run) {
        for (const int afterMs : {5, 40, 90}) {
            bool leaked = false;
            const double seconds = timeCloseDuringSearch(window, afterMs, leaked);
            leaks += leaked ? 1 : 0;
            if (seconds >= 0)
                closes.push_back(seconds);
        }
    }
    std::printf("closing during a Contém \"\" search (%zu closes 5/40/90 ms in): median %.2f "
                "ms, max %.2f ms; results shown after closing: %d, messages: %d\n",
                closes.size(), bench::median(closes) * 1000,
                closes.empty() ? 0.0 : *std::max_element(closes.begin(), closes.end()) * 1000,
                leaks, messages.shown);
}

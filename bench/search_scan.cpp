// Audio search over a large tree: the two search modes of the search window, timed from
// start() to ready() of the file scanner (walk, matching, sorting and every fileFound delivered
// on the event loop), against GNU find with the same masks in one walk, in the same run.
//
//   bench_search_scan [--tree DIR] [--runs N] [--locale NAME] [--query TEXT]...
//
// The tree (100,000 empty files in 2,000 folders, a third with audio endings in mixed case,
// some names with accents, a few that are not UTF-8) is made once and kept under
// build/bench-media/search-tree (or DIR).
#include "bench_util.h"
#include "search/file_scanner.h"
#include "search_tree.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>

#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

QStringList masksFor(const QString& query, bool contains) {
    QStringList masks{query + "*.mp3", query + "*.wav", query + "*.wma"};
    if (contains)
        masks << "*" + query + "*.mp3"
              << "*" + query + "*.wav"
              << "*" + query + "*.wma";
    return masks;
}

// find ROOT ( -iname M1 -o -iname M2 ... ), output to /dev/null; wall seconds.
double findSeconds(const std::string& root, const QStringList& masks) {
    std::vector<std::string> args{"find", root, "("};
    for (const QString& mask : masks) {
        if (args.size() > 3)
            args.push_back("-o");
        args.push_back("-iname");
        args.push_back(mask.toStdString());
    }
    args.push_back(")");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const double start = bench::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "could not run find\n");
        std::exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = bench::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    return seconds;
}

struct ScanFigures {
    double seconds = 0;
    qsizetype results = 0;
    qsizetype events = 0;
};

// From start() to ready(), with a slot counting every fileFound as the window would take it.
ScanFigures scanSeconds(search::FileScanner& scanner) {
    ScanFigures figures;
    QEventLoop loop;
    const auto counting = QObject::connect(&scanner, &search::FileScanner::fileFound,
                                           [&](const QString&) { ++figures.events; });
    const auto stopping =
        QObject::connect(&scanner, &search::FileScanner::ready, [&](const QStringList& result) {
            figures.results = result.size();
            loop.quit();
        });
    const double start = bench::now();
    scanner.start();
    loop.exec();
    figures.seconds = bench::now() - start;
    QObject::disconnect(counting);
    QObject::disconnect(stopping);
    return figures;
}

struct Options {
    std::filesystem::path tree = bench::mediaDir() / "search-tree";
    int runs = 9;
    QStringList queries;
    QString locale; // empty: the environment's
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--tree") == 0)
            options.tree = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            options.runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--query") == 0)
            options.queries << QString::fromLocal8Bit(argv[i + 1]).toUpper();
        else if (std::strcmp(argv[i], "--locale") == 0)
            options.locale = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (options.queries.isEmpty())
        options.queries << ""
                        << "MA";
    return options;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options options = parse(argc, argv);
    if (!options.locale.isEmpty())
        QLocale::setDefault(QLocale(options.locale));
    bench::makeSearchTree(options.tree);
    const std::string root = options.tree.string() + "/";
    std::printf("tree %s, collation %s, median of %d runs, find and scanner alternating\n",
                root.c_str(), qPrintable(QLocale().name()), options.runs);

    search::FileScanner scanner;
    scanner.setFilePath(QString::fromStdString(root));
    for (const QString& query : options.queries) {
        for (const bool contains : {false, true}) {
            const QStringList masks = masksFor(query, contains);
            scanner.setSearchFilter(masks);
            findSeconds(root, masks); // warm the caches for both
            scanSeconds(scanner);
            std::vector<double> ours, find;
            ScanFigures figures;
            for (int run = 0; run < options.runs; ++run) {
                find.push_back(findSeconds(root, masks));
                figures = scanSeconds(scanner);
                ours.push_back(figures.seconds);
            }
            const double a = bench::median(ours), b = bench::median(find);
            std::printf("%-10s query \"%s\" (%lld masks): scanner %.1f ms (%lld paths, %lld "
                        "events), find %.1f ms, ratio %.2f\n",
                        contains ? "Contém" : "Aproximado", qPrintable(query),
                        static_cast<long long>(masks.size()), a * 1000,
                        static_cast<long long>(figures.results),
                        static_cast<long long>(figures.events), b * 1000, a / b);
        }
    }
}

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

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>

#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int kTopFolders = 50;
constexpr int kSubfoldersEach = 39; // 50 + 50 x 39 = 2,000 folders
constexpr int kFilesPerFolder = 50; // 100,000 files

// Deterministic across compilers (std::mt19937 distributions are not).
class Lcg {
public:
    unsigned next(unsigned bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return unsigned((state_ >> 33) % bound);
    }

private:
    unsigned long long state_ = 20240611;
};

const char* const kSyllables[] = {"ma", "ri", "a",  "jo",  "se",  "can", "lu", "pe", "dro",
                                  "na", "be", "to", "ro",  "sa",  "mi",  "gu", "el", "vi",
                                  "da", "no", "te", "sol", "ção", "ão",  "é"};
const char* const kAudioEndings[] = {".mp3", ".MP3", ".Mp3", ".wav", ".WAV",
                                     ".Wav", ".wma", ".WMA", ".wMa"};
const char* const kOtherEndings[] = {".txt", ".jpg", ".flac", ".ogg", ".m3u",
                                     ".png", ".cue", ".nfo",  ".mp4", ".mp3.bak"};

std::string word(Lcg& rng) {
    std::string text;
    const unsigned count = 1 + rng.next(3);
    for (unsigned i = 0; i < count; ++i) {
        // Accented syllables are rarer, so about one name in ten has one.
        const unsigned pick = rng.next(100) < 97 ? rng.next(22) : 22 + rng.next(3);
        text += kSyllables[pick];
    }
    if (text[0] >= 'a' && text[0] <= 'z')
        text[0] = char(text[0] - 'a' + 'A');
    return text;
}

std::string fileName(Lcg& rng, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, " %06d", number);
    std::string name = word(rng) + " " + word(rng) + " - " + word(rng) + digits;
    if (number % 997 == 0)
        name += "\xE7\xE3o"; // "ção" in Latin-1: not UTF-8
    const bool audio = number % 3 == 0;
    name += audio ? kAudioEndings[rng.next(std::size(kAudioEndings))]
                  : kOtherEndings[rng.next(std::size(kOtherEndings))];
    return name;
}

void touch(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

void makeTree(const std::filesystem::path& root) {
    const auto done = root / ".complete";
    if (std::filesystem::exists(done))
        return;
    std::printf("making the tree under %s ...\n", root.c_str());
    std::filesystem::remove_all(root);
    Lcg rng;
    int number = 0;
    for (int top = 0; top < kTopFolders; ++top) {
        const auto topFolder = root / (word(rng) + " " + std::to_string(top));
        std::vector<std::filesystem::path> folders{topFolder};
        for (int sub = 0; sub < kSubfoldersEach; ++sub)
            folders.push_back(topFolder /
                              (word(rng) + " " + word(rng) + " " + std::to_string(sub)));
        for (const auto& folder : folders) {
            std::filesystem::create_directories(folder);
            for (int i = 0; i < kFilesPerFolder; ++i)
                touch(folder / fileName(rng, number++));
        }
    }
    touch(done);
}

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
    makeTree(options.tree);
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

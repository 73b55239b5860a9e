// The walk and the result list, through the synchronous search() on real folder trees.
#include "scanner_tree.h"

#include <QLocale>

#include <sys/wait.h>

#include <algorithm>

using search::FileScanner;
using search::test::TestTree;

namespace {

struct Outcome {
    QStringList result;
    QStringList found; // fileFound paths in emission order
    int readyCount = 0;
};

Outcome searchNow(const QString& root, const QStringList& filter, bool subDirectories = true) {
    FileScanner scanner;
    scanner.setFilePath(root);
    scanner.setSearchFilter(filter);
    scanner.setSubDirectories(subDirectories);
    Outcome outcome;
    QObject::connect(&scanner, &FileScanner::fileFound,
                     [&](const QString& path) { outcome.found << path; });
    QObject::connect(&scanner, &FileScanner::ready, [&](const QStringList& result) {
        outcome.result = result;
        ++outcome.readyCount;
    });
    EXPECT_TRUE(scanner.search());
    EXPECT_EQ(scanner.searchResult(), outcome.result);
    return outcome;
}

// Code-point order unless a case asks for a language's collation.
class ScannerTree : public ::testing::Test {
protected:
    ScannerTree() { QLocale::setDefault(QLocale::c()); }
    ~ScannerTree() override { QLocale::setDefault(saved_); }

    TestTree tree;

private:
    QLocale saved_;
};

TEST_F(ScannerTree, NothingToSearchStillEndsWithReady) {
    tree.file("a.mp3");
    const Outcome noMasks = searchNow(tree.root(), {});
    EXPECT_EQ(noMasks.readyCount, 1);
    EXPECT_TRUE(noMasks.result.isEmpty());
    const Outcome noRoot = searchNow(tree.root() + "missing/", {"*.mp3"});
    EXPECT_EQ(noRoot.readyCount, 1);
    EXPECT_TRUE(noRoot.result.isEmpty());
    EXPECT_TRUE(noRoot.found.isEmpty());
}

TEST_F(ScannerTree, FolderWithAMatchingNameIsTakenLikeAFileAndStillEntered) {
    tree.file("Live.mp3/track.mp3");
    tree.file("notes.txt");
    const Outcome outcome = searchNow(tree.root(), {"*.mp3"});
    EXPECT_EQ(outcome.result,
              QStringList({tree.path("Live.mp3"), tree.path("Live.mp3/track.mp3")}));
}

TEST_F(ScannerTree, EntryMatchingTwoMasksIsListedOnceButFoundTwice) {
    tree.file("abc.mp3");
    const Outcome outcome = searchNow(tree.root(), {"A*.mp3", "*C.MP3"});
    EXPECT_EQ(outcome.result, QStringList{tree.path("abc.mp3")});
    EXPECT_EQ(outcome.found, QStringList({tree.path("abc.mp3"), tree.path("abc.mp3")}));
}

TEST_F(ScannerTree, PathsDifferingOnlyInLetterCaseCountOnce) {
    tree.file("Song.mp3");
    tree.file("SONG.MP3");
    tree.file("x/a.wav");
    tree.file("X/A.wav");
    const Outcome outcome = searchNow(tree.root(), {"*.mp3", "*.wav"});
    EXPECT_EQ(outcome.found.size(), 4);
    ASSERT_EQ(outcome.result.size(), 2);
    EXPECT_EQ(outcome.result[0].compare(tree.path("song.mp3"), Qt::CaseInsensitive), 0);
    EXPECT_EQ(outcome.result[1].compare(tree.path("x/a.wav"), Qt::CaseInsensitive), 0);
}

TEST_F(ScannerTree, WithoutSubdirectoriesOnlyTheRootIsSearched) {
    tree.file("top.wav");
    tree.file("sub/deep.wav");
    EXPECT_EQ(searchNow(tree.root(), {"*.wav"}, false).result, QStringList{tree.path("top.wav")});
}

TEST_F(ScannerTree, FolderPartOfAFilterLineHasNoEffect) {
    tree.file("a.wav");
    tree.file("other/b.wav");
    tree.file("sub/deep/c.wav");
    tree.file("d.WMA");
    const Outcome outcome = searchNow(tree.root(), {"sub/deep/*.wav", "C:\\elsewhere\\*.wma"});
    EXPECT_EQ(outcome.result, QStringList({tree.path("a.wav"), tree.path("d.WMA"),
                                           tree.path("other/b.wav"), tree.path("sub/deep/c.wav")}));
}

// The key is the whole path, so files of a folder and of its subfolders interleave.
TEST_F(ScannerTree, ResultIsSortedByWholePathWithoutRegardToCase) {
    tree.file("b.mp3");
    tree.file("A/c.mp3");
    tree.file("a.mp3");
    tree.file("Z.mp3");
    tree.file("B/a.mp3");
    const Outcome outcome = searchNow(tree.root(), {"*.mp3"});
    EXPECT_EQ(outcome.result,
              QStringList({tree.path("a.mp3"), tree.path("A/c.mp3"), tree.path("b.mp3"),
                           tree.path("B/a.mp3"), tree.path("Z.mp3")}));
}

TEST_F(ScannerTree, OrderFollowsTheUsersCollation) {
    for (const char* name : {"abc.mp3", "\xC3\x81gua.mp3", "Azul.mp3", "zebra.mp3"})
        tree.file(name);
    const QStringList codePoints = searchNow(tree.root(), {"*.mp3"}).result;
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    const QStringList brazilian = searchNow(tree.root(), {"*.mp3"}).result;
    const QString water = tree.path("\xC3\x81gua.mp3");
    EXPECT_EQ(brazilian, QStringList({tree.path("abc.mp3"), water, tree.path("Azul.mp3"),
                                      tree.path("zebra.mp3")}));
    EXPECT_EQ(codePoints, QStringList({tree.path("abc.mp3"), tree.path("Azul.mp3"),
                                       tree.path("zebra.mp3"), water}));
}

// Names that are not UTF-8 are listed, kept apart from each other (a collator sees all such
// bytes as the same replacement character) and can be opened again from the listed text.
TEST_F(ScannerTree, NamesThatAreNotUtf8AreFoundAndCanBeOpened) {
    tree.file("caf\xE9.mp3");
    tree.file("a\x80.mp3");
    tree.file("a\x81.mp3");
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Portuguese, QLocale::Brazil)}) {
        QLocale::setDefault(locale);
        const QStringList result = searchNow(tree.root(), {"*.MP3"}).result;
        ASSERT_EQ(result.size(), 3) << locale.name().toStdString();
        for (const QString& path : result)
            EXPECT_EQ(::access(core::encodePathBytes(path).constData(), F_OK), 0);
        EXPECT_TRUE(result.contains(tree.path("caf\xE9.mp3")));
    }
}

// Runs the search in a child process with another user's rights and returns its result: the
// superuser reads every folder whatever its mode.
QStringList searchAsNobody(const QString& root, const QStringList& filter) {
    int channel[2];
    if (::pipe(channel) != 0)
        return {"pipe failed"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const QByteArray text = searchNow(root, filter).result.join('\n').toUtf8();
        const bool written =
            ::write(channel[1], text.constData(), size_t(text.size())) == ssize_t(text.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(channel[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {"child failed"};
    return QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
}

TEST_F(ScannerTree, UnreadableFolderIsSkippedAndTheWalkGoesOn) {
    tree.file("first/a.mp3");
    tree.file("locked/b.mp3");
    tree.file("z.mp3");
    ASSERT_EQ(::chmod(tree.bytes("locked").constData(), 0), 0);
    const QStringList expected{tree.path("first/a.mp3"), tree.path("locked"), tree.path("z.mp3")};
    QStringList result;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(tree.bytes("").constData(), 0755), 0);
        result = searchAsNobody(tree.root(), {"*.mp3", "locked"});
    } else {
        result = searchNow(tree.root(), {"*.mp3", "locked"}).result;
    }
    ::chmod(tree.bytes("locked").constData(), 0755);
    EXPECT_EQ(result, expected);
}

// A link back to a folder above would make the walk endless; links elsewhere are followed.
TEST_F(ScannerTree, LinkedFoldersAreFollowedButNeverInACircle) {
    tree.file("music/a.mp3");
    tree.file("elsewhere/b.mp3");
    ASSERT_EQ(::symlink("..", tree.bytes("music/up").constData()), 0);
    ASSERT_EQ(::symlink("../elsewhere", tree.bytes("music/more").constData()), 0);
    const QStringList result = searchNow(tree.root() + "music/", {"*.mp3"}).result;
    EXPECT_EQ(result, QStringList({tree.path("music/a.mp3"), tree.path("music/more/b.mp3"),
                                   tree.path("music/up/elsewhere/b.mp3")}));
}

// One walk for all masks gives what one walk per mask would: the same paths, and the same
// fileFound events apart from their order between masks.
TEST_F(ScannerTree, OneWalkEqualsOneWalkPerMask) {
    const char* names[] = {"Ana.mp3",     "ANA.wav", "banana.WMA",    "Mariana.mp3", "an/na.mp3",
                           "an/ANAN.Wav", "x/y/ana", "x/Ana.mp3.txt", "nada.wma",    "x/y/AnA.mP3"};
    for (const char* name : names)
        tree.file(name);
    const QStringList masks{"AN*.mp3", "AN*.wav", "*AN*.mp3", "*AN*.wma", "*N?"};
    const Outcome together = searchNow(tree.root(), masks);
    QStringList separateFound;
    QStringList separateResults;
    for (const QString& mask : masks) {
        const Outcome alone = searchNow(tree.root(), {mask});
        separateFound << alone.found;
        separateResults << alone.result;
    }
    QStringList togetherFound = together.found;
    std::sort(togetherFound.begin(), togetherFound.end());
    std::sort(separateFound.begin(), separateFound.end());
    EXPECT_EQ(togetherFound, separateFound);
    std::sort(
        separateResults.begin(), separateResults.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    separateResults.removeDuplicates();
    EXPECT_EQ(together.result, separateResults);
}

} // namespace

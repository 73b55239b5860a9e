// The scanner on its worker thread: signals on the owner's thread, one search at a time, and
// cancellation that is quick and silent.
#include "scanner_tree.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using search::FileScanner;
using search::test::TestTree;

namespace {

constexpr int kWaitMs = 10000;

class AsyncScanner : public ::testing::Test {
protected:
    AsyncScanner() { search::test::ensureApplication(); }

    void fill(int folders, int filesPerFolder) {
        for (int f = 0; f < folders; ++f) {
            for (int i = 0; i < filesPerFolder; ++i)
                tree.file(QByteArray("folder ") + QByteArray::number(f) + "/song " +
                          QByteArray::number(i) + ".mp3");
        }
    }

    TestTree tree;
    FileScanner scanner;
};

// Every fileFound arrives on this thread before ready, and the result equals a search run here.
TEST_F(AsyncScanner, SignalsArriveOnTheOwnersThreadAndFoundComesBeforeReady) {
    fill(3, 400); // more than one hand-over batch
    scanner.setFilePath(tree.root());
    scanner.setSearchFilter({"*.mp3", "SONG 1*.MP3"});
    int found = 0;
    int foundAfterReady = 0;
    bool allOnOwnerThread = true;
    bool readyCame = false;
    QObject::connect(&scanner, &FileScanner::fileFound, [&](const QString&) {
        ++found;
        foundAfterReady += readyCame;
        allOnOwnerThread &= QThread::currentThread() == scanner.thread();
    });
    QObject::connect(&scanner, &FileScanner::ready, [&](const QStringList&) {
        readyCame = true;
        allOnOwnerThread &= QThread::currentThread() == scanner.thread();
    });
    QSignalSpy ready(&scanner, &FileScanner::ready);
    ASSERT_TRUE(scanner.start());
    ASSERT_TRUE(ready.wait(kWaitMs));
    EXPECT_TRUE(allOnOwnerThread);
    EXPECT_EQ(foundAfterReady, 0);
    EXPECT_EQ(found, 1200 + 3 * 111); // "song 1", "song 10".."19", "song 100".."199"
    const QStringList asynchronous = ready.at(0).at(0).toStringList();
    EXPECT_EQ(asynchronous.size(), 1200);
    EXPECT_EQ(scanner.searchResult(), asynchronous);
    ASSERT_TRUE(scanner.search());
    EXPECT_EQ(scanner.searchResult(), asynchronous);
}

TEST_F(AsyncScanner, SecondSearchCannotStartWhileOneRuns) {
    fill(1, 10);
    scanner.setFilePath(tree.root());
    scanner.setSearchFilter({"*.mp3"});
    QSignalSpy ready(&scanner, &FileScanner::ready);
    ASSERT_TRUE(scanner.start());
    EXPECT_TRUE(scanner.isRunning());
    EXPECT_FALSE(scanner.start());
    EXPECT_FALSE(scanner.search());
    ASSERT_TRUE(ready.wait(kWaitMs));
    EXPECT_FALSE(scanner.isRunning());
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(scanner.start());
    ASSERT_TRUE(ready.wait(kWaitMs));
}

TEST_F(AsyncScanner, ReadyComesAlsoWhenThereIsNothingToSearch) {
    QSignalSpy ready(&scanner, &FileScanner::ready);
    scanner.setFilePath(tree.root() + "missing/");
    scanner.setSearchFilter({"*.mp3"});
    ASSERT_TRUE(scanner.start());
    ASSERT_TRUE(ready.wait(kWaitMs));
    scanner.setFilePath(tree.root());
    scanner.setSearchFilter({});
    ASSERT_TRUE(scanner.start());
    ASSERT_TRUE(ready.wait(kWaitMs));
    EXPECT_EQ(ready.count(), 2);
    EXPECT_TRUE(ready.at(0).at(0).toStringList().isEmpty());
    EXPECT_TRUE(ready.at(1).at(0).toStringList().isEmpty());
}

// A tree big enough that the walk is still under way when the first paths arrive; made once.
class BigTree : public AsyncScanner {
protected:
    static constexpr int kFolders = 40;
    static constexpr int kFiles = 1000;

    static void SetUpTestSuite() {
        search::test::ensureApplication();
        big_ = new TestTree;
        for (int f = 0; f < kFolders; ++f) {
            for (int i = 0; i < kFiles; ++i)
                big_->file(QByteArray("folder ") + QByteArray::number(f) + "/song " +
                           QByteArray::number(i) + ".mp3");
        }
    }
    static void TearDownTestSuite() {
        delete big_;
        big_ = nullptr;
    }

    BigTree() {
        scanner.setFilePath(big_->root());
        scanner.setSearchFilter({"*.mp3", "*.MP3"});
    }

    static TestTree* big_;
};

TestTree* BigTree::big_ = nullptr;

TEST_F(BigTree, CancelEndsTheWalkPromptlyAndNothingFollows) {
    scanner.setSearchFilter({"song 1.mp3"});
    ASSERT_TRUE(scanner.search());
    const QStringList before = scanner.searchResult();
    scanner.setSearchFilter({"*.mp3", "*.MP3"});

    int found = 0;
    qint64 cancelNs = -1;
    QObject::connect(&scanner, &FileScanner::fileFound, [&](const QString&) {
        ++found;
        if (cancelNs >= 0)
            return;
        QElapsedTimer timer;
        timer.start();
        scanner.cancel(); // from the first delivery, while the walk goes on
        cancelNs = timer.nsecsElapsed();
    });
    QSignalSpy ready(&scanner, &FileScanner::ready);
    ASSERT_TRUE(scanner.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return cancelNs >= 0; }, kWaitMs));
    EXPECT_LT(cancelNs, 100'000'000);
    EXPECT_FALSE(scanner.isRunning());
    const int foundAtCancel = found;
    EXPECT_LT(foundAtCancel, 2 * kFolders * kFiles);
    QTest::qWait(300);
    EXPECT_EQ(found, foundAtCancel);
    EXPECT_EQ(ready.count(), 0);
    EXPECT_EQ(scanner.searchResult(), before);

    QObject::disconnect(&scanner, &FileScanner::fileFound, nullptr, nullptr);
    ASSERT_TRUE(scanner.start()); // the scanner is free again
    ASSERT_TRUE(ready.wait(kWaitMs));
    EXPECT_EQ(scanner.searchResult().size(), kFolders * kFiles);
}

TEST_F(BigTree, DestroyingARunningScannerStopsItPromptly) {
    auto running = std::make_unique<FileScanner>();
    running->setFilePath(big_->root());
    running->setSearchFilter({"*.mp3"});
    QSignalSpy found(running.get(), &FileScanner::fileFound);
    ASSERT_TRUE(running->start());
    ASSERT_TRUE(found.wait(kWaitMs));
    QElapsedTimer timer;
    timer.start();
    running.reset();
    EXPECT_LT(timer.elapsed(), 100);
    QTest::qWait(50); // calls queued for the destroyed scanner must not run
}

} // namespace

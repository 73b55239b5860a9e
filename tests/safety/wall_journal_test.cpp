#include "core/path_bytes.h"
#include "safety/wall_journal.h"
#include "support/qstring_print.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using safety::JournalState;
using safety::WallJournal;

namespace {

const QDateTime kCrashTime(QDate(2026, 12, 9), QTime(21, 4, 5), QTimeZone(-3 * 3600));

struct JournalFixture : testing::Test {
    QTemporaryDir dir;
    WallJournal journal{dir.path(), [] { return kCrashTime; }};

    QString journalPath() const { return dir.filePath(WallJournal::fileName()); }
    QByteArray journalBytes() const {
        QFile file(journalPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void replaceJournal(const QByteArray& bytes) const {
        QFile file(journalPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    WallJournal::ReadResult readAtNextStart() const {
        return WallJournal(dir.path(), [] { return kCrashTime; }).read([](const QString&) {
            return false;
        });
    }
};

JournalState editedWall(const QString& profile, const QList<int>& block) {
    carts::CartTable table;
    table[3].name = QStringLiteral("Vinheta | manhã");
    table[3].path = QStringLiteral("/audio/vinheta.mp3");
    table[3].setLoop(true);
    table[17].name = QStringLiteral("Canção");
    table[17].path = core::decodePathBytes("/audio/can\xe7\xe3o.mp3");
    table[96].name = QStringLiteral("Fim");
    table[96].path = QStringLiteral("/audio/fim.wav");
    table[96].setStopMode(carts::StopMode::Cut);
    return {table, block, profile, true};
}

} // namespace

// The latest of many quick changes is what the next start finds: wall, block, profile name
// and changed flag, a non-UTF-8 path byte for byte.
TEST_F(JournalFixture, LatestStateComesBackAtTheNextStart) {
    for (int i = 1; i <= 50; ++i) {
        journal.write(editedWall(QStringLiteral("MANHÃ %1").arg(i), {3, 17, i % 96 + 1}));
    }
    journal.flush();
    const JournalState expected = editedWall(QStringLiteral("MANHÃ 50"), {3, 17, 51});

    const WallJournal::ReadResult found = readAtNextStart();
    ASSERT_EQ(found.found, WallJournal::Found::Readable);
    EXPECT_EQ(found.state.block, expected.block);
    EXPECT_EQ(found.state.profile, expected.profile);
    EXPECT_TRUE(found.state.changed);
    for (const int n : {1, 3, 17, 96}) {
        EXPECT_EQ(found.state.table[n].toFields(), expected.table[n].toFields()) << "cart " << n;
    }
}

// A journal cut short or damaged is never restored: it is set aside under a dated name with
// its bytes, and the start goes on without it.
TEST_F(JournalFixture, DamagedJournalIsSetAsideNotRestored) {
    journal.write(editedWall("TARDE", {5}));
    journal.flush();
    const QByteArray whole = journalBytes();
    QByteArray flipped = whole;
    flipped[flipped.size() / 2] = flipped[flipped.size() / 2] ^ 0x01;

    for (const QByteArray& damaged : {whole.left(whole.size() - 30), flipped, QByteArray("x")}) {
        replaceJournal(damaged);
        const WallJournal::ReadResult found = readAtNextStart();
        EXPECT_EQ(found.found, WallJournal::Found::Unreadable);
        ASSERT_FALSE(found.setAsideName.isEmpty());
        EXPECT_TRUE(found.setAsideName.startsWith("bandorajournal-20261209-210405"));
        QFile aside(dir.filePath(found.setAsideName));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), damaged);
        EXPECT_FALSE(QFile::exists(journalPath()));
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"bandorajournal-*.bak"}).size(), 3)
        << "the same second never overwrites an earlier one";
}

// Cancel at the recovery question keeps the journal under a dated name; a normal exit removes
// it, and a change that arrives after the exit does not bring it back.
TEST_F(JournalFixture, CancelSetsAsideAndCleanExitRemoves) {
    journal.write(editedWall("NOITE", {}));
    const QString aside = journal.setAside();
    EXPECT_EQ(aside, "bandorajournal-20261209-210405.bak");
    EXPECT_EQ(readAtNextStart().found, WallJournal::Found::Absent);

    journal.write(editedWall("NOITE", {1}));
    journal.removeOnCleanExit();
    journal.write(editedWall("NOITE", {2}));
    journal.flush();
    EXPECT_EQ(readAtNextStart().found, WallJournal::Found::Absent);
    EXPECT_TRUE(QFile::exists(dir.filePath(aside)));
}

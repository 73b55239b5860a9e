#include "core/path_bytes.h"
#include "safety/as_run_log.h"
#include "safety/csv.h"
#include "support/qstring_print.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <map>

using session::PlayEnd;
using session::PlayInfo;
using session::PlayTrigger;

namespace {

const QTimeZone kZone(-3 * 3600); // UTC-03:00, whatever zone the machine runs in

QDateTime at(int day, const char* time) {
    return QDateTime(QDate(2026, 12, day),
                     QTime::fromString(QString::fromLatin1(time), "HH:mm:ss.zzz"), kZone);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Polls for the worker's once-a-second writes.
template <typename Condition> bool within3s(Condition condition) {
    for (int i = 0; i < 300 && !condition(); ++i) {
        QThread::msleep(10);
    }
    return condition();
}

struct LogFixture : testing::Test {
    QTemporaryDir dir;
    QDateTime now = at(9, "21:00:00.000");
    std::map<QString, audio::FileTags> tags;

    std::unique_ptr<safety::AsRunLog> makeLog() {
        return std::make_unique<safety::AsRunLog>(
            dir.path(), [this] { return now; },
            [this](const QString& path) {
                return tags.count(path) ? tags.at(path) : audio::FileTags{};
            });
    }
    QString logFile(const QString& name) const { return dir.filePath("LOG/" + name); }
    QList<QStringList> rows(const QString& name) const {
        return safety::parseCsv(fileBytes(logFile(name)));
    }
};

PlayInfo play(std::int64_t id, int cart, const QString& name, const QString& path,
              PlayTrigger trigger) {
    return {cart, name, path, QStringLiteral("MANHÃ"), trigger, id};
}

} // namespace

// A scripted evening: the day files must match the golden files byte for byte.
TEST_F(LogFixture, ScriptedSessionGivesTheGoldenDayFiles) {
    const QString latin1Path = core::decodePathBytes("/audio/can\xe7\xe3o antiga.mp3");
    tags["/audio/vinheta.mp3"] = {"Vinheta", "Rádio Bandora", ""};
    tags["/audio/bg.wav"] = {"Fundo, \"loop\"", "", "J. Silva"};
    {
        auto log = makeLog();
        ASSERT_EQ(log->recoverOpenPlays(), 0);
        ASSERT_EQ(log->startMessage(), QString());

        log->playStarted(
            play(1, 1, "Vinheta, \"Abertura\"", "/audio/vinheta.mp3", PlayTrigger::Click),
            at(9, "21:04:05.123"));
        log->playStarted(play(2, 12, "Fundo", "/audio/bg.wav", PlayTrigger::Key),
                         at(9, "21:04:06.000"));
        log->playEnded(1, PlayEnd::End, at(9, "21:04:17.468"), 12345);
        log->loopTurned(2);
        log->loopTurned(2);
        log->playEnded(2, PlayEnd::LoopStop, at(9, "21:05:00.250"), 54250);
        log->playStarted(play(3, 40, "Canção", latin1Path, PlayTrigger::Block),
                         at(9, "22:00:00.000"));
        log->playStarted(play(4, 41, "Próxima", "/audio/next.mp3", PlayTrigger::Automix),
                         at(9, "22:03:10.000"));
        log->playEnded(3, PlayEnd::Mix, at(9, "22:03:12.500"), 192500);
        log->playEnded(4, PlayEnd::Cut, at(9, "22:03:20.001"), 10001);
        // Across midnight: the row stays in the file of the day it started.
        log->playStarted(play(5, 96, "Meia-noite", "/audio/midnight.mp3", PlayTrigger::Osc),
                         at(9, "23:59:50.000"));
        log->playEnded(5, PlayEnd::Fade, at(10, "00:00:20.500"), 30500);
        log->playStarted(play(6, 7, "Madrugada", "/audio/late.mp3", PlayTrigger::Midi),
                         at(10, "00:01:00.000"));
        log->playEnded(6, PlayEnd::Panic, at(10, "00:01:02.000"), 2000);
        log->flush();
    }
    for (const QString name : {"2026-12-09.csv", "2026-12-10.csv"}) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray golden = fileBytes(QStringLiteral(BANDORA_GOLDEN_DIR "/") + name);
        ASSERT_FALSE(golden.isEmpty());
        EXPECT_EQ(fileBytes(logFile(name)), golden);
    }
    EXPECT_EQ(rows("em-andamento.csv").size(), 1) << "only the header: no play left open";
}

// Plays a run left open come back with "crash", their last known position and loop turns,
// once only; plays that ended are not touched.
TEST_F(LogFixture, OpenPlaysOfADeadRunComeBackAsCrashRowsOnce) {
    {
        auto log = makeLog();
        log->playStarted(play(1, 3, "Ended", "/a.mp3", PlayTrigger::Click), at(9, "21:00:00.000"));
        log->playStarted(play(2, 4, "Open", "/b.mp3", PlayTrigger::Key), at(9, "21:00:01.000"));
        log->playEnded(1, PlayEnd::Cut, at(9, "21:00:02.000"), 2000);
        log->loopTurned(2);
        now = at(9, "21:00:09.000");
        log->position(2, 8000);
        // Written within a second, without any other event: a crash now loses nothing.
        ASSERT_TRUE(
            within3s([&] { return fileBytes(logFile("em-andamento.csv")).contains(",8000,"); }));
    } // dies without ending play 2

    auto next = makeLog();
    EXPECT_EQ(next->recoverOpenPlays(), 1);
    next->flush();
    const QList<QStringList> day = rows("2026-12-09.csv");
    ASSERT_EQ(day.size(), 3);
    EXPECT_EQ(day[1].value(12), "cut");
    EXPECT_EQ(day[2],
              (QStringList{"2026-12-09T21:00:01.000-03:00", "2026-12-09T21:00:09.000-03:00", "8000",
                           "4", "Open", "/b.mp3", "", "", "", "MANHÃ", "key", "1", "crash"}));
    next.reset();
    EXPECT_EQ(makeLog()->recoverOpenPlays(), 0);
    EXPECT_EQ(rows("2026-12-09.csv").size(), 3);
}

// A log folder that cannot be written is said once at start; plays still go on, and their rows
// reach the day file once the folder can be written.
TEST_F(LogFixture, UnwritableFolderIsReportedAndRowsAreKept) {
    QFile blocker(dir.filePath("LOG"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto log = makeLog();
    EXPECT_EQ(log->startMessage(), safety::AsRunLog::unwritableMessage());
    log->playStarted(play(1, 5, "Kept", "/k.mp3", PlayTrigger::Click), at(9, "21:00:00.000"));
    log->playEnded(1, PlayEnd::End, at(9, "21:00:03.000"), 3000);
    log->flush();
    ASSERT_TRUE(QFile::remove(dir.filePath("LOG")));
    EXPECT_TRUE(within3s([&] { return rows("2026-12-09.csv").size() == 2; }));
}

#pragma once
// Show safety wired to the wall session: every play on air goes to the as-run log, and every
// change of the wall (carts, block, profile, changed flag) to the journal; at start, the wall a
// dead run left is offered back.
//
// Threads: user-interface thread only. The log and the journal do their file work on their
// own worker threads, so neither a click nor a change of the wall waits on the disk.
#include "safety/as_run_log.h"
#include "safety/local_clock.h"
#include "safety/wall_journal.h"
#include "session/session_types.h"

#include <QHash>
#include <QObject>

namespace core {
class MessageSink;
}
namespace session {
class WallSession;
}

namespace safety {

class ShowSafety : public QObject {
    Q_OBJECT
public:
    ShowSafety(session::WallSession& session, const QString& programDir,
               LocalClock clock = &QDateTime::currentDateTime,
               TagReader readTags = audio::readFileTags, QObject* parent = nullptr);
    ~ShowSafety() override;

    // Start-up, once: AsRunLog::unwritableMessage() when the log folder cannot be written,
    // else empty. Plays the last run left open are in the log, closed as "crash", by then.
    QString logStartMessage();
    // After the session started: a journal left by a run that did not end normally is offered
    // back; OK restores the wall (nothing plays), Cancel sets the journal aside, and one that
    // cannot be read is set aside and said. The journal follows the wall only from here on, so
    // nothing overwrites the last run's journal before the operator answered.
    void offerRecovery(core::MessageSink& messages);
    // "Sair" or a window close, after the session ended its plays: the log is on disk and the
    // journal is gone (unless it was never offered back).
    void endCleanly();
    // Today's day file of the log: "LOG/YYYY-MM-DD.csv" in the program folder.
    QString todaysLogFile() const;

private:
    void onPlayStarted(const session::PlayInfo& play);
    void onPlayEnded(const session::PlayInfo& play, session::PlayEnd end);
    void onDisplayTick();
    std::int64_t airedMs(std::int64_t playId) const;
    void journalSoon();
    void writeJournal();

    session::WallSession& session_;
    const QString programDir_;
    const LocalClock clock_;
    AsRunLog log_;
    WallJournal journal_;
    QHash<std::int64_t, QDateTime> starts_; // plays on air by id: when each started
    int ticks_ = 0;
    bool following_ = false;  // the journal follows the wall (after the recovery question)
    bool journalDue_ = false; // a write is queued for the end of this event
};

} // namespace safety

#pragma once
// The as-run log: one row per play on air, in the program folder's LOG folder (see
// as_run_rows.h for the files and columns).
//
// A play that starts is written at once, with its tags, to a small file of open plays beside
// the day files; its position there is brought up to date at least once a second. When it
// ends, its complete row is appended to the day file of its start and it leaves the open file.
// A run that died leaves its plays in the open file; the next start appends them with "crash"
// and their last known position. A row the disk refuses stays in the open file and is tried
// again, so no row is lost while the program runs or after it dies.
//
// Threads: every public call is made on the user-interface thread and only queues work; all
// file work, tag reading included, runs on the log's one worker thread, which owns the open
// plays. Only recoverOpenPlays(), startMessage() and flush() wait for the worker.
#include "audio/file_tags.h"
#include "safety/local_clock.h"
#include "session/session_types.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>

namespace safety {

class AsRunWriter;
class SerialWorker;

// Tags of an audio file; called on the worker thread.
using TagReader = std::function<audio::FileTags(const QString& path)>;

class AsRunLog {
public:
    static QString unwritableMessage() {
        return QStringLiteral("Não foi possível gravar o Registro de Execução");
    }

    // Starts the worker, which first appends what the last run left open.
    AsRunLog(const QString& programDir, LocalClock clock, TagReader readTags = audio::readFileTags);
    // Writes everything queued before it returns; plays still open stay in the open file (the
    // owner ends them with PlayEnd::Exit first on a normal exit).
    ~AsRunLog();
    AsRunLog(const AsRunLog&) = delete;
    AsRunLog& operator=(const AsRunLog&) = delete;

    // Start-up only (waits for the worker): how many plays the last run left open, now appended
    // with "crash".
    int recoverOpenPlays();
    // Start-up only (waits for the worker): unwritableMessage() when the log folder could not
    // be written at start, else empty.
    QString startMessage();

    void playStarted(const session::PlayInfo& play, const QDateTime& start);
    // `airedMs`: how long the play has been on air so far, loop turns included.
    void position(std::int64_t playId, std::int64_t airedMs);
    void loopTurned(std::int64_t playId);
    void playEnded(std::int64_t playId, session::PlayEnd end, const QDateTime& endTime,
                   std::int64_t airedMs);

    // Waits until everything queued so far is written (exit, tests).
    void flush();

private:
    struct StartReport {
        int recovered = 0;
        bool writable = false;
    };

    LocalClock clock_;
    std::unique_ptr<AsRunWriter> writer_;  // used on the worker thread only
    std::unique_ptr<SerialWorker> worker_; // declared after writer_: stops before it goes
    std::shared_future<StartReport> start_;
};

} // namespace safety

#pragma once
// The wall journal: after every change of the wall, the whole wall with its unsaved changes,
// the block, the profile name and the changed flag, in "bandorajournal.txt" in the program
// folder. A normal exit removes it, so a journal found at start means the last run did not end
// normally and the wall can be restored from it.
//
// Threads: the user-interface thread calls everything. write() only hands the state over;
// the journal's worker thread writes it (temporary file, fsync, rename), the wall in the
// profile line format. States handed over
// while a write runs replace each other: at most one write is pending, always the latest.
// read() runs on the caller's thread, at start-up before the first write.
#include "carts/cart_table.h"
#include "carts/profile_format.h"
#include "safety/local_clock.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

namespace safety {

class SerialWorker;

// A copy of the wall: the worker turns it into profile lines, so handing it over costs the
// user-interface thread no formatting (the carts' texts are shared, not copied).
struct JournalState {
    carts::CartTable table; // the carts with their unsaved changes
    QList<int> block;       // cart numbers in the block's order
    QString profile;
    bool changed = false;
};

// The journal file's bytes for a state, and the state back from them: nothing for bytes that
// are not a whole journal (cut short, damaged, another format).
QByteArray journalText(const JournalState& state);
std::optional<JournalState> stateFromJournalText(const QByteArray& bytes,
                                                 const carts::FileCheck& fileExists);

class WallJournal {
public:
    static QString fileName() { return QStringLiteral("bandorajournal.txt"); }
    static QString recoveryQuestion() {
        return QStringLiteral("O Bandora não foi encerrado corretamente. Recuperar a parede?");
    }
    // Said once when a journal found at start cannot be read; `setAsideName` is where it went.
    static QString unreadableMessage(const QString& setAsideName);

    enum class Found { Absent, Readable, Unreadable };
    struct ReadResult {
        Found found = Found::Absent;
        JournalState state;   // when Readable
        QString setAsideName; // when Unreadable: the file it was moved to (empty if it stayed)
    };

    explicit WallJournal(const QString& programDir, LocalClock clock = &QDateTime::currentDateTime);
    // Finishes a pending write.
    ~WallJournal();
    WallJournal(const WallJournal&) = delete;
    WallJournal& operator=(const WallJournal&) = delete;

    // At start: the journal the last run left. One that cannot be read is set aside at once.
    // `fileExists` settles names and paths holding "|", as when a profile is read.
    ReadResult read(const carts::FileCheck& fileExists);
    void write(JournalState state);
    // The operator declined to restore: the journal moves to a dated name, so nothing is lost.
    // Returns that name, empty when there was nothing to move or the move failed.
    QString setAside();
    // On "Sair" or a window close: waits for a pending write, removes the journal and ignores
    // later writes.
    void removeOnCleanExit();
    // Waits until the latest state handed over is on disk (tests, benchmarks).
    void flush();

private:
    QString path() const;
    QString moveAside();
    void writePending();

    const QString folder_;
    const LocalClock clock_;

    std::mutex mutex_; // guards the two members below, shared with the worker
    std::optional<JournalState> pending_;
    bool closed_ = false;

    std::unique_ptr<SerialWorker> worker_; // last: stops before the members above go
};

} // namespace safety

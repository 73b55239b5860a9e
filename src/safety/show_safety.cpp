#include "safety/show_safety.h"

#include "core/message_sink.h"
#include "safety/as_run_rows.h"
#include "session/block_sequencer.h"
#include "session/wall_session.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace safety {

namespace {

// The display ticks every 100 ms: every fifth tick keeps the open plays' positions within
// half a second, twice as often as the log promises.
constexpr int kTicksPerPosition = 5;

JournalState journalStateOf(const session::WallSession& session) {
    JournalState state{
        session.wall().table, {}, session.wall().currentProfile, session.wall().profileChanged};
    for (const QString& badge : session.block().queue()) {
        state.block.append(badge.toInt());
    }
    return state;
}

} // namespace

ShowSafety::ShowSafety(session::WallSession& session, const QString& programDir, LocalClock clock,
                       TagReader readTags, QObject* parent)
    : QObject(parent), session_(session), programDir_(programDir), clock_(clock),
      log_(programDir, clock, std::move(readTags)), journal_(programDir, clock) {
    using session::WallSession;
    connect(&session, &WallSession::playStarted, this, &ShowSafety::onPlayStarted);
    connect(&session, &WallSession::playEnded, this, &ShowSafety::onPlayEnded);
    connect(&session, &WallSession::loopTurned, this,
            [this](const session::PlayInfo& play) { log_.loopTurned(play.playId); });
    connect(&session, &WallSession::displayTicked, this, &ShowSafety::onDisplayTick);
    connect(&session, &WallSession::cartChanged, this, &ShowSafety::journalSoon);
    connect(&session, &WallSession::profileChanged, this, &ShowSafety::journalSoon);
    connect(&session, &WallSession::wallSaved, this, &ShowSafety::journalSoon);
    connect(&session.state(), &session::WallState::blockChanged, this, &ShowSafety::journalSoon);
}

ShowSafety::~ShowSafety() = default;

QString ShowSafety::logStartMessage() {
    log_.recoverOpenPlays();
    return log_.startMessage();
}

void ShowSafety::offerRecovery(core::MessageSink& messages) {
    const auto isFile = [](const QString& path) { return QFileInfo(path).isFile(); };
    WallJournal::ReadResult found = journal_.read(isFile);
    following_ = true;
    if (found.found == WallJournal::Found::Unreadable) {
        messages.showMessage(WallJournal::unreadableMessage(found.setAsideName));
    } else if (found.found == WallJournal::Found::Readable) {
        if (messages.confirm(WallJournal::recoveryQuestion())) {
            const JournalState& s = found.state;
            session_.restore(s.table, s.block, s.profile, s.changed);
        } else {
            journal_.setAside();
        }
    }
}

void ShowSafety::endCleanly() {
    // A window closed before the question was asked (a screen too small) keeps the journal
    // of the run before it for the next start.
    if (following_) {
        following_ = false;
        journal_.removeOnCleanExit();
    }
    log_.flush();
}

QString ShowSafety::todaysLogFile() const {
    return QDir(programDir_).filePath(QStringLiteral("LOG/") + dayFileName(isoLocalTime(clock_())));
}

void ShowSafety::onPlayStarted(const session::PlayInfo& play) {
    const QDateTime start = clock_();
    starts_.insert(play.playId, start);
    log_.playStarted(play, start);
}

void ShowSafety::onPlayEnded(const session::PlayInfo& play, session::PlayEnd end) {
    const std::int64_t aired = airedMs(play.playId);
    starts_.remove(play.playId);
    log_.playEnded(play.playId, end, clock_(), aired);
}

void ShowSafety::onDisplayTick() {
    if (++ticks_ % kTicksPerPosition == 0) {
        for (auto it = starts_.cbegin(); it != starts_.cend(); ++it) {
            log_.position(it.key(), airedMs(it.key()));
        }
    }
}

std::int64_t ShowSafety::airedMs(std::int64_t playId) const {
    const QDateTime start = starts_.value(playId);
    return start.isValid() ? std::max<std::int64_t>(0, start.msecsTo(clock_())) : 0;
}

// Loading a profile changes 96 carts in one go: one write after the event, not 96.
void ShowSafety::journalSoon() {
    if (following_ && !journalDue_) {
        journalDue_ = true;
        QTimer::singleShot(0, this, &ShowSafety::writeJournal);
    }
}

void ShowSafety::writeJournal() {
    journalDue_ = false;
    if (!following_) {
        return;
    }
    journal_.write(journalStateOf(session_));
}

} // namespace safety

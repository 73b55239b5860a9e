#include "safety/as_run_log.h"

#include "safety/as_run_rows.h"
#include "safety/csv.h"
#include "safety/durable_file.h"
#include "safety/serial_worker.h"

#include <QDir>
#include <QFile>

#include <map>

namespace safety {

namespace {

constexpr auto kPositionInterval = std::chrono::milliseconds(1000);

QString openPlaysFileName() {
    return QStringLiteral("em-andamento.csv");
}

QByteArray headerRow() {
    return csvRow(asRunColumns());
}

} // namespace

// The log's state on the worker thread: the plays on air and the rows not yet in a day file.
class AsRunWriter {
public:
    AsRunWriter(const QString& programDir, TagReader readTags)
        : folder_(QDir(programDir).filePath(QStringLiteral("LOG"))),
          readTags_(std::move(readTags)) {}

    // Appends what the last run left in the open file; true in `writable` when the folder
    // takes the open file again.
    int recover(bool& writable) {
        const int recovered = readOpenFile();
        QDir().mkpath(folder_);
        appendFinished();
        writable = writeOpenFile();
        return recovered;
    }

    void started(const session::PlayInfo& play, const QDateTime& start) {
        AsRunRow& row = open_[play.playId];
        row.start = start;
        row.end = start;
        row.play = play;
        row.tags = readTags_(play.path);
        writeOpenFile();
    }

    void position(std::int64_t playId, std::int64_t airedMs, const QDateTime& seen) {
        if (const auto it = open_.find(playId); it != open_.end()) {
            it->second.airedMs = airedMs;
            it->second.end = seen;
            positionsChanged_ = true;
        }
    }

    void loopTurned(std::int64_t playId) {
        if (const auto it = open_.find(playId); it != open_.end()) {
            ++it->second.loopTurns;
            positionsChanged_ = true;
        }
    }

    void ended(std::int64_t playId, session::PlayEnd end, const QDateTime& endTime,
               std::int64_t airedMs) {
        const auto it = open_.find(playId);
        if (it == open_.end()) {
            return;
        }
        AsRunRow row = std::move(it->second);
        open_.erase(it);
        row.end = endTime;
        row.airedMs = airedMs;
        row.endReason = session::endName(end);
        finished_.push_back(row.fields());
        appendFinished();
        writeOpenFile();
    }

    // Once a second: positions to disk, and rows the disk refused tried again (the folder may
    // have become writable since).
    void tick() {
        if (!finished_.empty()) {
            QDir().mkpath(folder_);
            appendFinished();
            writeOpenFile();
        } else if (positionsChanged_) {
            writeOpenFile();
        }
    }

private:
    QString path(const QString& name) const { return QDir(folder_).filePath(name); }

    int readOpenFile() {
        QFile file(path(openPlaysFileName()));
        if (!file.open(QIODevice::ReadOnly)) {
            return 0;
        }
        QList<QStringList> rows = parseCsv(file.readAll());
        int recovered = 0;
        const auto columns = asRunColumns().size();
        for (qsizetype i = 1; i < rows.size(); ++i) { // row 0 is the header
            QStringList& fields = rows[i];
            if (fields.size() != columns) {
                continue;
            }
            QString& reason = fields[static_cast<int>(AsRunColumn::EndReason)];
            if (reason.isEmpty()) {
                reason = session::endName(session::PlayEnd::Crash);
                ++recovered;
            }
            finished_.push_back(fields);
        }
        return recovered;
    }

    // Each finished row in order; the first the disk refuses stops the run, so the day file
    // keeps the order in which plays ended.
    void appendFinished() {
        while (!finished_.empty()) {
            const QStringList& fields = finished_.front();
            QString day = dayFileName(fields.value(static_cast<int>(AsRunColumn::Start)));
            if (day.isEmpty()) {
                day = QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".csv");
            }
            if (!appendToFile(path(day), headerRow(), csvRow(fields))) {
                return;
            }
            finished_.erase(finished_.begin());
        }
    }

    bool writeOpenFile() {
        QByteArray content = headerRow();
        for (const QStringList& fields : finished_) {
            content += csvRow(fields);
        }
        for (const auto& [id, row] : open_) {
            content += csvRow(row.fields());
        }
        positionsChanged_ = false;
        return replaceFile(path(openPlaysFileName()), content);
    }

    const QString folder_;
    const TagReader readTags_;
    std::map<std::int64_t, AsRunRow> open_; // by play id: the order plays started in
    std::vector<QStringList> finished_;     // complete rows not yet in their day file
    bool positionsChanged_ = false;
};

AsRunLog::AsRunLog(const QString& programDir, LocalClock clock, TagReader readTags)
    : clock_(std::move(clock)),
      writer_(std::make_unique<AsRunWriter>(programDir, std::move(readTags))),
      worker_(
          std::make_unique<SerialWorker>(kPositionInterval, [w = writer_.get()] { w->tick(); })) {
    auto report = std::make_shared<std::promise<StartReport>>();
    start_ = report->get_future().share();
    worker_->post([w = writer_.get(), report] {
        StartReport result;
        result.recovered = w->recover(result.writable);
        report->set_value(result);
    });
}

AsRunLog::~AsRunLog() {
    // The latest positions of plays still open, which the next start would log as a crash.
    worker_->post([w = writer_.get()] { w->tick(); });
}

int AsRunLog::recoverOpenPlays() {
    return start_.get().recovered;
}

QString AsRunLog::startMessage() {
    return start_.get().writable ? QString() : unwritableMessage();
}

void AsRunLog::playStarted(const session::PlayInfo& play, const QDateTime& start) {
    worker_->post([w = writer_.get(), play, start] { w->started(play, start); });
}

void AsRunLog::position(std::int64_t playId, std::int64_t airedMs) {
    worker_->post([w = writer_.get(), playId, airedMs, seen = clock_()] {
        w->position(playId, airedMs, seen);
    });
}

void AsRunLog::loopTurned(std::int64_t playId) {
    worker_->post([w = writer_.get(), playId] { w->loopTurned(playId); });
}

void AsRunLog::playEnded(std::int64_t playId, session::PlayEnd end, const QDateTime& endTime,
                         std::int64_t airedMs) {
    worker_->post([w = writer_.get(), playId, end, endTime, airedMs] {
        w->ended(playId, end, endTime, airedMs);
    });
}

void AsRunLog::flush() {
    worker_->waitIdle();
}

} // namespace safety

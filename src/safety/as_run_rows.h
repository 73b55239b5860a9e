#pragma once
// The rows of the as-run log. One day file per day a play started, "LOG/YYYY-MM-DD.csv"; the
// columns are those of asRunColumns(), in that order, under a header row.
#include "audio/file_tags.h"
#include "session/session_types.h"

#include <QDateTime>
#include <QStringList>

#include <cstdint>

namespace safety {

QStringList asRunColumns();

// "2026-12-09T21:04:05.123-03:00": the time as it was on the wall clock, with its offset.
QString isoLocalTime(const QDateTime& time);

// A play on air as far as it is known: while it runs, `end` is the last moment it was known to
// be playing and `endReason` is empty.
struct AsRunRow {
    QDateTime start;
    QDateTime end;
    std::int64_t airedMs = 0;
    session::PlayInfo play;
    audio::FileTags tags;
    int loopTurns = 0;
    QString endReason;

    QStringList fields() const;
};

// Index of the columns that a read-back row (fields only) is completed by.
enum class AsRunColumn { Start = 0, EndReason = 12 };

// The day file a row belongs to, from its start field: "YYYY-MM-DD.csv"; empty when the field
// does not start with a date.
QString dayFileName(const QString& startField);

} // namespace safety

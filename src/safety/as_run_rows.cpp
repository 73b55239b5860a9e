#include "safety/as_run_rows.h"

#include <cstdlib>

namespace safety {

QStringList asRunColumns() {
    return {QStringLiteral("start"),     QStringLiteral("end"),     QStringLiteral("aired_ms"),
            QStringLiteral("cart"),      QStringLiteral("name"),    QStringLiteral("path"),
            QStringLiteral("title"),     QStringLiteral("artist"),  QStringLiteral("composer"),
            QStringLiteral("profile"),   QStringLiteral("trigger"), QStringLiteral("loop_turns"),
            QStringLiteral("end_reason")};
}

QString isoLocalTime(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QString::asprintf("%02d:%02d", minutes / 60, minutes % 60);
}

QStringList AsRunRow::fields() const {
    return {isoLocalTime(start),
            isoLocalTime(end),
            QString::number(airedMs),
            QString::number(play.cart),
            play.cartName,
            play.path,
            tags.title,
            tags.artist,
            tags.composer,
            play.profile,
            session::triggerName(play.trigger),
            QString::number(loopTurns),
            endReason};
}

QString dayFileName(const QString& startField) {
    const QString day = startField.left(10);
    if (!QDate::fromString(day, QStringLiteral("yyyy-MM-dd")).isValid()) {
        return {};
    }
    return day + QStringLiteral(".csv");
}

} // namespace safety

#pragma once
// RFC 4180 text: rows end in CRLF; a field with a comma, a quote, CR or LF is quoted, its
// quotes doubled. Written as UTF-8; a character UTF-8 cannot hold (a lone surrogate, as an
// escaped byte of a file name that is not UTF-8) becomes U+FFFD, so the row is never lost.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

namespace safety {

QByteArray csvRow(const QStringList& fields);

// The rows of a CSV text. Lenient: a missing last line break and LF-only lines are read too.
QList<QStringList> parseCsv(QByteArrayView text);

} // namespace safety

#include "safety/csv.h"

namespace safety {

namespace {

bool needsQuotes(const QString& field) {
    for (const QChar c : field) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            return true;
        }
    }
    return false;
}

QString withoutLoneSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            text[i] = QChar::ReplacementCharacter;
        }
    }
    return text;
}

QString quoted(const QString& field) {
    if (!needsQuotes(field)) {
        return field;
    }
    QString doubled = field;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

} // namespace

QByteArray csvRow(const QStringList& fields) {
    QStringList cells;
    cells.reserve(fields.size());
    for (const QString& field : fields) {
        cells.append(quoted(withoutLoneSurrogates(field)));
    }
    return cells.join(u',').toUtf8() + "\r\n";
}

QList<QStringList> parseCsv(QByteArrayView text) {
    QList<QStringList> rows;
    QStringList row;
    QByteArray field;
    bool inQuotes = false;
    bool rowStarted = false;
    const auto endField = [&] {
        row.append(QString::fromUtf8(field));
        field.clear();
    };
    const auto endRow = [&] {
        endField();
        rows.append(row);
        row.clear();
        rowStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        rowStarted = true;
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field.append('"');
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field.append(c);
            }
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\n') {
            endRow();
        } else if (c != '\r') {
            field.append(c);
        }
    }
    if (rowStarted) {
        endRow();
    }
    return rows;
}

} // namespace safety

#include "config/text_file.h"

#include "core/windows1252.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace config {

namespace {

bool isAscii(const QByteArray& bytes) {
    for (const char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80)
            return false;
    }
    return true;
}

std::optional<QString> decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (auto utf8 = decodeUtf8(bytes))
        return *utf8;
    return core::fromWindows1252(bytes);
}

QByteArray encodeText(const QString& text) {
    // Windows-1252 bytes that happen to form valid UTF-8 ("Ã§") would be read back as other
    // characters ("ç"), so such a text is written as UTF-8 too.
    const auto single = core::toWindows1252(text);
    if (single && (isAscii(*single) || !decodeUtf8(*single)))
        return *single;
    return text.toUtf8();
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n') {
            ++i;
            continue;
        }
        lines.append(text.mid(start, i - start));
        const bool crlf = c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n';
        i += crlf ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

std::optional<QStringList> readTextLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return splitLines(decodeText(file.readAll()));
}

bool writeTextLines(const QString& path, const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    const QByteArray bytes = encodeText(text);
    QSaveFile file(path);
    // Unbuffered, so a short write (disk full) shows in write()'s count: a buffered write can
    // lose the tail at commit while commit still reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace config

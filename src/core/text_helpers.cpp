#include "core/text_helpers.h"

#include <algorithm>
#include <limits>

namespace core {

QString fileNameOf(const QString& path) {
    if (path.trimmed().isEmpty())
        return {};
    const qsizetype separator = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    if (separator >= 0)
        return path.mid(separator + 1);
    return path.mid(path.lastIndexOf(u':') + 1);
}

QString zeroPad(const QString& text, int width) {
    qsizetype first = 0;
    while (first < text.size() && text.at(first).isSpace())
        ++first;
    QString result = text.mid(first);
    if (result.size() < width)
        result.prepend(QString(width - result.size(), u'0'));
    return result;
}

std::optional<qint32> toWholeNumber(QStringView text) {
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text.front() == u'-';
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+'))
        i = 1;
    if (i == text.size())
        return std::nullopt;
    // One beyond the positive limit, so that the most negative value still fits.
    const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -value : value);
}

QString leftChars(const QString& text, qsizetype count) {
    if (text.size() <= count)
        return text;
    if (count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

} // namespace core

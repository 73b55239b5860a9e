#include "core/path_bytes.h"

#include <sys/stat.h>

namespace core {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // byte b (0x80..0xFF) is kept as U+DC00 + b
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length and code point of the well-formed UTF-8 sequence at p (end exclusive), or 0 when the
// bytes there are not one. Overlong forms, encoded surrogates and values above U+10FFFF are
// refused: accepting an encoded surrogate would let two byte strings decode to the same text.
int decodeSequence(const unsigned char* p, const unsigned char* end, char32_t& codePoint) {
    const unsigned char lead = p[0];
    int length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(p[i]))
            return 0;
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < min || codePoint > 0x10FFFF || surrogate)
        return 0;
    return length;
}

void appendUtf8(QByteArray& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        out.append(char(0xC0 | (codePoint >> 6)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xE0 | (codePoint >> 12)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        out.append(char(0xF0 | (codePoint >> 18)));
        out.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

QString decodePathBytes(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    // Every byte gives at most one UTF-16 unit (a 4-byte sequence gives two).
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    char16_t* const start = out;
    while (p < end) {
        if (*p < 0x80) {
            *out++ = *p++;
            continue;
        }
        char32_t codePoint = 0;
        const int length = decodeSequence(p, end, codePoint);
        if (length == 0) {
            *out++ = char16_t(kEscapeBase + *p++);
        } else if (codePoint < 0x10000) {
            *out++ = char16_t(codePoint);
            p += length;
        } else {
            *out++ = QChar::highSurrogate(codePoint);
            *out++ = QChar::lowSurrogate(codePoint);
            p += length;
        }
    }
    text.truncate(out - start);
    return text;
}

QByteArray encodePathBytes(QStringView text, bool* ok) {
    QByteArray out;
    out.reserve(text.size() * 3);
    bool allEncoded = true;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            out.append(char(unit));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size &&
                   QChar::isLowSurrogate(text[i + 1].unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else if (unit >= kFirstEscape && unit <= kLastEscape) {
            out.append(char(unit - kEscapeBase));
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(out, QChar::ReplacementCharacter);
            allEncoded = false;
        } else {
            appendUtf8(out, unit);
        }
    }
    if (ok)
        *ok = allEncoded;
    return out;
}

bool hasEscapedBytes(QStringView text) {
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < size &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
        } else if (unit >= kFirstEscape && unit <= kLastEscape) {
            return true;
        }
    }
    return false;
}

bool isFileAt(QStringView path) {
    if (path.isEmpty())
        return false;
    bool ok = false;
    const QByteArray bytes = encodePathBytes(path, &ok);
    struct stat info {};
    return ok && ::stat(bytes.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace core

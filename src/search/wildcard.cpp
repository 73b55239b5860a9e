#include "search/wildcard.h"

#include <QChar>

namespace search {

namespace {

constexpr char32_t kAnyRun = U'*';
constexpr char32_t kAnyOne = U'?';

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Matching with one backtracking point: on a mismatch, the last '*' seen takes one more
// character. Linear for the usual masks, never worse than pattern length x name length.
template <typename Char, typename Equal>
bool matchFolded(const Char* pattern, size_t patternLength, const Char* name, size_t nameLength,
                 Equal equal) {
    size_t p = 0;
    size_t s = 0;
    size_t starPattern = SIZE_MAX;
    size_t starName = 0;
    while (s < nameLength) {
        if (p < patternLength && char32_t(pattern[p]) == kAnyRun) {
            starPattern = ++p;
            starName = s;
        } else if (p < patternLength &&
                   (char32_t(pattern[p]) == kAnyOne || equal(pattern[p], name[s]))) {
            ++p;
            ++s;
        } else if (starPattern != SIZE_MAX) {
            p = starPattern;
            s = ++starName;
        } else {
            return false;
        }
    }
    while (p < patternLength && char32_t(pattern[p]) == kAnyRun)
        ++p;
    return p == patternLength;
}

// Folded code points of a text; a lone surrogate (an escaped byte of a file name) stays itself.
void foldInto(QStringView text, std::u32string& out) {
    out.clear();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < size && text[i + 1].isLowSurrogate()) {
            unit = QChar::surrogateToUcs4(char16_t(unit), text[i + 1].unicode());
            ++i;
        }
        out.push_back(QChar::toCaseFolded(unit));
    }
}

} // namespace

WildcardMask::WildcardMask(QStringView pattern) : pattern_(pattern.toString()) {
    foldInto(pattern, folded_);
    for (char32_t c : folded_) {
        if (c >= 0x80) {
            ascii_ = false;
            break;
        }
        asciiFolded_.push_back(asciiLower(char(c)));
    }
    if (!ascii_)
        asciiFolded_.clear();
}

bool WildcardMask::matches(QStringView name) const {
    thread_local std::u32string foldedName;
    foldInto(name, foldedName);
    return matchFolded(folded_.data(), folded_.size(), foldedName.data(), foldedName.size(),
                       [](char32_t a, char32_t b) { return a == b; });
}

bool WildcardMask::matchesAscii(std::string_view name) const {
    return matchFolded(asciiFolded_.data(), asciiFolded_.size(), name.data(), name.size(),
                       [](char a, char b) { return a == asciiLower(b); });
}

QString maskNamePart(QStringView filterLine) {
    for (qsizetype i = filterLine.size(); i > 0; --i) {
        const QChar c = filterLine[i - 1];
        if (c == u'/' || c == u'\\' || c == u':')
            return filterLine.mid(i).toString();
    }
    return filterLine.toString();
}

bool isAsciiName(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace search

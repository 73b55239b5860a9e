#pragma once
// Case-insensitive file-name masks: '*' stands for any run of characters (also none), '?' for
// exactly one character, every other character for itself without regard to letter case.
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace search {

class WildcardMask {
public:
    explicit WildcardMask(QStringView pattern);

    const QString& pattern() const { return pattern_; }

    bool matches(QStringView name) const;

    // Fast test for a name whose bytes are all ASCII (the common case on disk), without making
    // a QString of it. Only for masks that are ASCII once case-folded (isAscii()).
    bool isAscii() const { return ascii_; }
    bool matchesAscii(std::string_view name) const;

private:
    QString pattern_;
    std::u32string folded_;   // the pattern, case-folded, one code point per element
    std::string asciiFolded_; // the same in lower-case ASCII, when ascii_
    bool ascii_ = true;
};

// The part of a filter line that is used as its mask: the text after the last '/', '\' or ':'
// (a folder part or a Windows drive letter has no effect).
QString maskNamePart(QStringView filterLine);

bool isAsciiName(std::string_view name);

} // namespace search

// Mask matching: '*', '?', letter case, and the name part of a filter line.
#include "search/wildcard.h"

#include <gtest/gtest.h>

using search::WildcardMask;

namespace {

QString text(const char16_t* utf16) {
    return QString::fromUtf16(utf16);
}

bool matches(const QString& mask, const QString& name) {
    return WildcardMask(mask).matches(name);
}

TEST(Wildcard, StarAndQuestionMark) {
    EXPECT_TRUE(matches("*.mp3", ".mp3"));
    EXPECT_TRUE(matches("AB*.mp3", "abba gold.mp3"));
    EXPECT_TRUE(matches("*AB*.mp3", "the abba.mp3"));
    EXPECT_TRUE(matches("a*b*c", "aXbYbZc"));
    EXPECT_TRUE(matches("a?c", "abc"));
    EXPECT_FALSE(matches("a?c", "ac"));
    EXPECT_FALSE(matches("*.mp3", "song.mp3.bak"));
    EXPECT_FALSE(matches("AB*.mp3", "xab.mp3"));
    EXPECT_TRUE(matches("**", ""));
    EXPECT_FALSE(matches("", "a"));
}

TEST(Wildcard, LetterCaseNeverMatters) {
    EXPECT_TRUE(matches("CANÇÃO*.WAV", "canção de ninar.wav"));
    EXPECT_TRUE(matches("*é*", "CAFÉ"));
    EXPECT_FALSE(matches("*é*", "CAFE"));
}

// '?' takes one character, also one outside the 16-bit range or an escaped byte.
TEST(Wildcard, QuestionMarkTakesOneCharacter) {
    EXPECT_TRUE(matches("a?.mp3", text(u"a\U0001F3B5.mp3")));
    EXPECT_TRUE(matches("a?.mp3", text(u"a") + QChar(0xDCE9) + ".mp3"));
    EXPECT_FALSE(matches("a?.mp3", text(u"a") + QChar(0xDCE9) + QChar(0xDCE9) + ".mp3"));
}

// The fast path for ASCII names must agree with the general one.
TEST(Wildcard, AsciiPathAgreesWithGeneralPath) {
    const char* masks[] = {"MA*.mp3", "*MA*.wma", "?a*", "*", "x?y*z"};
    const char* names[] = {"Maria.MP3", "samba.Wma", "mama", "xAyBz", "xyz", "", "MA.mp3.bak"};
    for (const char* mask : masks) {
        const WildcardMask wildcard{QString::fromLatin1(mask)};
        ASSERT_TRUE(wildcard.isAscii());
        for (const char* name : names)
            EXPECT_EQ(wildcard.matchesAscii(name), wildcard.matches(QString::fromLatin1(name)))
                << mask << " " << name;
    }
    // KELVIN SIGN folds to 'k', LONG S to 's': folding comes before the choice of the path.
    const WildcardMask kelvin(text(u"\u212A*"));
    EXPECT_TRUE(kelvin.isAscii());
    EXPECT_TRUE(kelvin.matchesAscii("kiss.mp3"));
    EXPECT_TRUE(matches("S*", text(u"\u017Fong.mp3")));
}

TEST(Wildcard, MaskIsTheNamePartOfTheLine) {
    EXPECT_EQ(search::maskNamePart(u"C:\\Audio\\AB*.mp3"), "AB*.mp3");
    EXPECT_EQ(search::maskNamePart(u"sub/deep/*.wav"), "*.wav");
    EXPECT_EQ(search::maskNamePart(u"C:x*.wma"), "x*.wma");
    EXPECT_EQ(search::maskNamePart(u"*.mp3"), "*.mp3");
    EXPECT_EQ(search::maskNamePart(u"folder/"), "");
}

} // namespace

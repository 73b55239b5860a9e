#include "core/text_helpers.h"
#include "core/time_text.h"

#include <gtest/gtest.h>
#include <limits>

using namespace core;

TEST(formatClock, ClockTextWithinADay) {
    EXPECT_EQ(formatClock(0), "00:00:00");
    EXPECT_EQ(formatClock(-5), "00:00:00");
    EXPECT_EQ(formatClock(59), "00:00:00");
    EXPECT_EQ(formatClock(59999), "00:00:59");
    EXPECT_EQ(formatClock(205000), "00:03:25");
    EXPECT_EQ(formatClock(3600000), "01:00:00");
    EXPECT_EQ(formatClock(86399999), "23:59:59");
}

TEST(formatClock, HoursKeepCountingFromADayOn) {
    EXPECT_EQ(formatClock(86400000), "24:00:00");
    EXPECT_EQ(formatClock(90000000), "25:00:00");
    EXPECT_EQ(formatClock(std::numeric_limits<qint32>::max()), "596:31:23");
}

TEST(zeroPad, FillsButNeverCuts) {
    EXPECT_EQ(zeroPad("7", 3), "007");
    EXPECT_EQ(zeroPad("1234", 2), "1234");
    EXPECT_EQ(zeroPad(" 5", 2), "05");
    EXPECT_EQ(zeroPad("  123", 2), "123");
    EXPECT_EQ(zeroPad("500", 4), "0500");
    EXPECT_EQ(zeroPad("", 2), "00");
}

TEST(fileNameOf, PartAfterLastSeparator) {
    EXPECT_EQ(fileNameOf("C:\\Audio\\Vinheta 1.mp3"), "Vinheta 1.mp3");
    EXPECT_EQ(fileNameOf("/home/radio/ARQUIVOS/spot.wav"), "spot.wav");
    EXPECT_EQ(fileNameOf("C:\\mix/dir\\final.wma"), "final.wma");
    EXPECT_EQ(fileNameOf("C:\\Audio\\"), "");
    EXPECT_EQ(fileNameOf(" nome.mp3 "), " nome.mp3 ");
}

TEST(fileNameOf, BlankGivesEmptyAndDriveColonSeparates) {
    EXPECT_EQ(fileNameOf(""), "");
    EXPECT_EQ(fileNameOf("   "), "");
    EXPECT_EQ(fileNameOf("D:SONG.WAV"), "SONG.WAV");
    EXPECT_EQ(fileNameOf("SONG.WAV"), "SONG.WAV");
}

TEST(WholeNumber, AcceptsOnlySignAndDigitsWithin32Bits) {
    EXPECT_EQ(toWholeNumber(u"9818331"), 9818331);
    EXPECT_EQ(toWholeNumber(u"+5"), 5);
    EXPECT_EQ(toWholeNumber(u"-5"), -5);
    EXPECT_EQ(toWholeNumber(u"2147483647"), 2147483647);
    EXPECT_EQ(toWholeNumber(u"-2147483648"), std::numeric_limits<qint32>::min());
    for (const char16_t* bad : {u"", u"-", u"+", u" 5", u"5 ", u"1e3", u"0x10", u"abc",
                                u"2147483648", u"-2147483649", u"99999999999999999999"})
        EXPECT_FALSE(toWholeNumber(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(LeftChars, NeverSplitsASurrogatePair) {
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // one character, two units
    EXPECT_EQ(leftChars("ab" + clef, 3), "ab");
    EXPECT_EQ(leftChars("ab" + clef, 4), "ab" + clef);
    EXPECT_EQ(leftChars("abc", 0), "");
}

#include "config/funcoes.h"
#include "widgets/message_sink.h"

#include <gtest/gtest.h>
#include <limits>

using namespace config;

TEST(LeParametro, FirstLineContainingKeyAndEqualsWins) {
    const QStringList lines = {"Quallon Sistemas", "XTAMBR=1500", "TAMBR=3000"};
    EXPECT_EQ(LeParametro(lines, "TAMBR", "9"), "1500");
}

TEST(LeParametro, ValueIsTextAfterFirstEqualsUntrimmed) {
    EXPECT_EQ(LeParametro({"FADE=800=900"}, "FADE", "800"), "800=900");
    EXPECT_EQ(LeParametro({"VOLUME= 40 "}, "VOLUME", "100"), " 40 ");
    EXPECT_EQ(LeParametro({"AUTO_FADE="}, "AUTO_FADE", "1"), "");
}

TEST(LeParametro, CaseSensitiveAndDefaultWhenNotFound) {
    EXPECT_EQ(LeParametro({"fade=500"}, "FADE", "800"), "800");
    EXPECT_EQ(LeParametro({"FADE 500", "FADE"}, "FADE", "800"), "800");
    EXPECT_EQ(LeParametro({}, "FADE", "800"), "800");
}

TEST(LeParametro, ValueCappedAt255Characters) {
    const QString longValue(300, u'7');
    EXPECT_EQ(LeParametro({"TAMBR=" + longValue}, "TAMBR", ""), QString(255, u'7'));
}

TEST(MsParaTempo, ClockTextWithinADay) {
    EXPECT_EQ(MsParaTempo(0), "00:00:00");
    EXPECT_EQ(MsParaTempo(-5), "00:00:00");
    EXPECT_EQ(MsParaTempo(59), "00:00:00");
    EXPECT_EQ(MsParaTempo(59999), "00:00:59");
    EXPECT_EQ(MsParaTempo(205000), "00:03:25");
    EXPECT_EQ(MsParaTempo(3600000), "01:00:00");
    EXPECT_EQ(MsParaTempo(86399999), "23:59:59");
}

TEST(MsParaTempo, HoursKeepCountingFromADayOn) {
    EXPECT_EQ(MsParaTempo(86400000), "24:00:00");
    EXPECT_EQ(MsParaTempo(90000000), "25:00:00");
    EXPECT_EQ(MsParaTempo(std::numeric_limits<qint32>::max()), "596:31:23");
}

TEST(PreencheZeros, FillsButNeverCuts) {
    EXPECT_EQ(PreencheZeros("7", 3), "007");
    EXPECT_EQ(PreencheZeros("1234", 2), "1234");
    EXPECT_EQ(PreencheZeros(" 5", 2), "05");
    EXPECT_EQ(PreencheZeros("  123", 2), "123");
    EXPECT_EQ(PreencheZeros("500", 4), "0500");
    EXPECT_EQ(PreencheZeros("", 2), "00");
}

TEST(ExtraiNome, PartAfterLastSeparator) {
    EXPECT_EQ(ExtraiNome("C:\\Audio\\Vinheta 1.mp3"), "Vinheta 1.mp3");
    EXPECT_EQ(ExtraiNome("/home/radio/ARQUIVOS/spot.wav"), "spot.wav");
    EXPECT_EQ(ExtraiNome("C:\\mix/dir\\final.wma"), "final.wma");
    EXPECT_EQ(ExtraiNome("C:\\Audio\\"), "");
    EXPECT_EQ(ExtraiNome(" nome.mp3 "), " nome.mp3 ");
}

TEST(ExtraiNome, BlankGivesEmptyAndLongNamesAreCapped) {
    EXPECT_EQ(ExtraiNome(""), "");
    EXPECT_EQ(ExtraiNome("   "), "");
    EXPECT_EQ(ExtraiNome("/x/" + QString(600, u'a')), QString(500, u'a'));
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

namespace {
class ScriptedSink : public widgets::MessageSink {
public:
    explicit ScriptedSink(bool answer) : answer_(answer) {}
    void showMessage(const QString&, Icon, const QString&) override {}
    bool confirm(const QString& text) override {
        asked.append(text);
        return answer_;
    }
    QStringList asked;

private:
    bool answer_;
};
} // namespace

TEST(PedeConfirmacao, AsksTheSinkAndReturnsItsAnswer) {
    ScriptedSink yes(true), no(false);
    EXPECT_TRUE(PedeConfirmacao(yes, "Deseja Sair do Bandora ?"));
    EXPECT_FALSE(PedeConfirmacao(no, "Deseja Sair do Bandora ?"));
    EXPECT_EQ(yes.asked, QStringList{"Deseja Sair do Bandora ?"});
}

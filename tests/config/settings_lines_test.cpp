#include "config/settings_lines.h"

#include <gtest/gtest.h>

using namespace config;

TEST(settingValue, FirstLineContainingKeyAndEqualsWins) {
    const QStringList lines = {"Quallon Sistemas", "XTAMBR=1500", "TAMBR=3000"};
    EXPECT_EQ(settingValue(lines, "TAMBR", "9"), "1500");
}

TEST(settingValue, ValueIsTextAfterFirstEqualsUntrimmed) {
    EXPECT_EQ(settingValue({"FADE=800=900"}, "FADE", "800"), "800=900");
    EXPECT_EQ(settingValue({"VOLUME= 40 "}, "VOLUME", "100"), " 40 ");
    EXPECT_EQ(settingValue({"AUTO_FADE="}, "AUTO_FADE", "1"), "");
}

TEST(settingValue, CaseSensitiveAndDefaultWhenNotFound) {
    EXPECT_EQ(settingValue({"fade=500"}, "FADE", "800"), "800");
    EXPECT_EQ(settingValue({"FADE 500", "FADE"}, "FADE", "800"), "800");
    EXPECT_EQ(settingValue({}, "FADE", "800"), "800");
}

TEST(settingValue, ValueCappedAt255Characters) {
    const QString longValue(300, u'7');
    EXPECT_EQ(settingValue({"TAMBR=" + longValue}, "TAMBR", ""), QString(255, u'7'));
}

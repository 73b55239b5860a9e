#include "config/device_settings.h"
#include "config/ext_settings.h"
#include "config/text_file.h"
#include "config/window_settings.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace config;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class SettingsFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString cfgPath() const { return dir.filePath("BANDORA40.CFG"); }
    QString iniPath() const { return dir.filePath("bandoracfg.ini"); }
    QString extPath() const { return dir.filePath("bandoraext.ini"); }
};

} // namespace

TEST_F(SettingsFiles, FreshInstallKeepsDesignedStateAndWritesThreeLines) {
    WindowSettings s;
    EXPECT_FALSE(s.read(dir.path()));
    EXPECT_EQ(s, (WindowSettings{100, false, true}));
    ASSERT_TRUE(s.write(dir.path()));
    EXPECT_EQ(fileBytes(iniPath()), "VOLUME=100\r\nAUTO_FADE=0\r\nAUTO_MIX=1\r\n");

    WindowSettings next{0, true, false};
    EXPECT_TRUE(next.read(dir.path()));
    EXPECT_EQ(next, s);
}

TEST_F(SettingsFiles, MissingKeysInAnExistingFileReadAsOne) {
    writeRaw(iniPath(), "VOLUME=40\r\n");
    WindowSettings s;
    ASSERT_TRUE(s.read(dir.path()));
    EXPECT_EQ(s, (WindowSettings{40, true, true}));
}

TEST_F(SettingsFiles, FlagsAndVolumeFromHandEditedFile) {
    const auto readIni = [this](const QByteArray& bytes) {
        writeRaw(iniPath(), bytes);
        WindowSettings s;
        s.read(dir.path());
        return s;
    };
    EXPECT_EQ(readIni("VOLUME=0\nAUTO_FADE=0\nAUTO_MIX=0\n"), (WindowSettings{0, false, false}));
    EXPECT_EQ(readIni("VOLUME=abc\nAUTO_FADE=yes\nAUTO_MIX=2"),
              (WindowSettings{100, false, false}));
    EXPECT_EQ(readIni("VOLUME=150"), (WindowSettings{100, true, true}));
    EXPECT_EQ(readIni("VOLUME=-5"), (WindowSettings{0, true, true}));
}

TEST_F(SettingsFiles, FailedWriteReportsAndKeepsTheOldFile) {
    EXPECT_FALSE(WindowSettings{}.write(dir.filePath("no-such-folder")));

    writeRaw(iniPath(), "VOLUME=7\r\n");
    {
        FileSizeLimit diskFull(8);
        EXPECT_FALSE((WindowSettings{55, true, true}).write(dir.path()));
    }
    EXPECT_EQ(fileBytes(iniPath()), "VOLUME=7\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"bandoracfg.ini"});
}

TEST_F(SettingsFiles, DeviceSettingsDefaultsWithoutFile) {
    EXPECT_EQ(readDeviceSettings(dir.path()), (DeviceSettings{3000, 0, 0, 900, 800}));
}

TEST_F(SettingsFiles, DeviceSettingsWrittenInSevenLinesAndReadBack) {
    const DeviceSettings s{500, 2, 1, 5000, 2500};
    ASSERT_TRUE(writeDeviceSettings(dir.path(), s));
    const auto lines = readTextLines(cfgPath());
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 7);
    EXPECT_EQ(lines->mid(2),
              (QStringList{"TAMBR=0500", "DVTRA=2", "DVCUE=1", "MIXAGEM=5000", "FADE=2500"}));
    EXPECT_TRUE(fileBytes(cfgPath()).endsWith("FADE=2500\r\n"));
    EXPECT_EQ(readDeviceSettings(dir.path()), s);
}

TEST_F(SettingsFiles, DeviceSettingsSubstringAndCaseRules) {
    writeRaw(cfgPath(), "XTAMBR=1500\nTAMBR=3000\nFADE=800=900\nfade=500\nMIXAGEM=1200\n");
    EXPECT_EQ(readDeviceSettings(dir.path()), (DeviceSettings{1500, 0, 0, 1200, 800}));
}

TEST_F(SettingsFiles, BadDeviceValuesFallBackPerKey) {
    writeRaw(cfgPath(), "TAMBR=40000\r\nDVTRA=-1\r\nDVCUE= 1\r\nMIXAGEM=-1\r\nFADE=abc\r\n");
    EXPECT_EQ(readDeviceSettings(dir.path()), (DeviceSettings{3000, -1, 0, 900, 800}));

    writeRaw(cfgPath(), "TAMBR=-32768\r\nDVTRA=32767\r\nDVCUE=32768\r\nMIXAGEM=65535\r\n"
                        "FADE=65536\r\n");
    EXPECT_EQ(readDeviceSettings(dir.path()), (DeviceSettings{-32768, 32767, 0, 65535, 800}));
}

TEST_F(SettingsFiles, ExtSettingsOffAtMinus23UntilWrittenThenCrlfLines) {
    EXPECT_EQ(readExtSettings(dir.path()), (ExtSettings{false, -23}));
    ASSERT_TRUE(writeExtSettings(dir.path(), ExtSettings{true, -16}));
    EXPECT_EQ(fileBytes(extPath()), "LOUDNESS=1\r\nLOUDNESS_TARGET=-16\r\nAVISO_FIM=10\r\nOSC_PORT=0\r\n");
    EXPECT_EQ(readExtSettings(dir.path()), (ExtSettings{true, -16}));
    EXPECT_FALSE(QFile::exists(cfgPath())) << "the other settings files are not touched";
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsFiles, BadExtValuesGiveTheDefaultsPerKey) {
    struct Case {
        QByteArray file;
        ExtSettings expected;
    };
    for (const Case& c : {
             Case{"LOUDNESS=2\r\nLOUDNESS_TARGET=-10\r\n", {false, -10}},
             Case{"LOUDNESS=yes\nLOUDNESS_TARGET=-31\n", {false, -31}},
             Case{"LOUDNESS=1\r\nLOUDNESS_TARGET=-32\r\n", {true, -23}},
             Case{"LOUDNESS=1\r\nLOUDNESS_TARGET=-9\r\n", {true, -23}},
             Case{"LOUDNESS=1\r\nLOUDNESS_TARGET=-23.5\r\n", {true, -23}},
             Case{"LOUDNESS_TARGET=\r\n", {false, -23}},
             Case{"\xff\xfe\x00garbage", {false, -23}},
         }) {
        writeRaw(extPath(), c.file);
        EXPECT_EQ(readExtSettings(dir.path()), c.expected) << c.file.toStdString();
    }
}

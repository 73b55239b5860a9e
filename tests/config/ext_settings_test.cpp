// bandoraext.ini is shared: its writer replaces its own keys and leaves every other line's
// bytes alone. JACK devices are kept by their port names.
#include "config/ext_settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace config;

namespace {

class ExtSettingsFile : public ::testing::Test {
protected:
    QByteArray bytes() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const QByteArray& content) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QString path() const { return dir.filePath(QString::fromLatin1(kExtSettingsFile)); }

    QTemporaryDir dir;
    const QStringList air{QStringLiteral("system:playback_1"), QStringLiteral("system:playback_2")};
    const QStringList cue{QStringLiteral("system:playback_3"), QStringLiteral("system:playback_4")};
};

} // namespace

TEST_F(ExtSettingsFile, JackPortsOfBothDevicesAreWrittenAndReadBack) {
    const ExtSettings written{true, -18, air, cue};
    ASSERT_TRUE(writeExtSettings(dir.path(), written));
    EXPECT_EQ(bytes(), "LOUDNESS=1\r\nLOUDNESS_TARGET=-18\r\n"
                       "JACK_TRA=system:playback_1,system:playback_2\r\n"
                       "JACK_CUE=system:playback_3,system:playback_4\r\n"
                       "AVISO_FIM=10\r\nOSC_PORT=0\r\n");
    EXPECT_EQ(readExtSettings(dir.path()), written);

    // A device that is no longer a JACK pair loses its line.
    ASSERT_TRUE(writeExtSettings(dir.path(), {true, -18, {}, cue}));
    EXPECT_EQ(bytes(), "LOUDNESS=1\r\nLOUDNESS_TARGET=-18\r\n"
                       "JACK_CUE=system:playback_3,system:playback_4\r\n"
                       "AVISO_FIM=10\r\nOSC_PORT=0\r\n");
}

TEST_F(ExtSettingsFile, OtherLinesKeepTheirBytesAndOursAreReplacedWhereTheyStand) {
    // Someone else's keys in Windows-1252 ("Estúdio"), LF and CRLF line ends, one of our keys
    // twice and one inside the others.
    put("ESTUDIO=Est\xfa"
        "dio A\n"
        "LOUDNESS_TARGET=-20\r\n"
        "OUTRA=1\r\n"
        "LOUDNESS_TARGET=-12\r\n"
        "\r\n"
        "JACK_TRA=old:a,old:b\n");
    ASSERT_TRUE(writeExtSettings(dir.path(), {false, -16, air, {}}));
    EXPECT_EQ(bytes(), QByteArray("ESTUDIO=Est\xfa"
                                  "dio A\r\n"
                                  "LOUDNESS_TARGET=-16\r\n"
                                  "OUTRA=1\r\n"
                                  "\r\n"
                                  "JACK_TRA=system:playback_1,system:playback_2\r\n"
                                  "LOUDNESS=0\r\n"
                                  "AVISO_FIM=10\r\nOSC_PORT=0\r\n"));
    EXPECT_EQ(readExtSettings(dir.path()), (ExtSettings{false, -16, air, {}}));
}

TEST_F(ExtSettingsFile, APortNameOutsideWindows1252KeepsEveryCharacter) {
    put("ESTUDIO=Est\xfa"
        "dio A\r\n"); // Windows-1252
    const QStringList named{QStringLiteral("placa:saída_1"), QStringLiteral("placa:出力_2")};
    ASSERT_TRUE(writeExtSettings(dir.path(), {false, -23, named, {}}));
    EXPECT_TRUE(bytes().startsWith("ESTUDIO=Est\xc3\xba"
                                   "dio A\r\n"))
        << "now UTF-8, as a whole";
    EXPECT_EQ(readExtSettings(dir.path()).jackOutputPorts, named);

    put("ESTUDIO=Est\xc3\xba"
        "dio A\r\n"); // UTF-8: stays byte for byte
    ASSERT_TRUE(writeExtSettings(dir.path(), {false, -23, named, {}}));
    EXPECT_TRUE(bytes().startsWith("ESTUDIO=Est\xc3\xba"
                                   "dio A\r\nLOUDNESS=0\r\n"));
    EXPECT_EQ(readExtSettings(dir.path()).jackOutputPorts, named);
}

TEST_F(ExtSettingsFile, AJackKeyCountsOnlyWithTwoPortNames) {
    for (const QByteArray& line :
         {QByteArray("JACK_TRA=system:playback_1"), QByteArray("JACK_TRA=a:1,b:2,c:3"),
          QByteArray("JACK_TRA=,b:2"), QByteArray("JACK_TRA=a:1,"), QByteArray("JACK_TRA=")}) {
        put(line + "\r\nJACK_CUE=a:1,a:2\r\n");
        const ExtSettings read = readExtSettings(dir.path());
        EXPECT_TRUE(read.jackOutputPorts.isEmpty()) << line.toStdString();
        EXPECT_EQ(read.jackCuePorts, (QStringList{QStringLiteral("a:1"), QStringLiteral("a:2")}));
    }
}

TEST_F(ExtSettingsFile, WarningAndRemoteKeysReadBackAndOutOfRangeGivesTheDefault) {
    ExtSettings written;
    written.endWarningSeconds = 0;
    written.oscPort = 9000;
    written.oscHosts = {QStringLiteral("192.168.1.20"), QStringLiteral("::1")};
    ASSERT_TRUE(writeExtSettings(dir.path(), written));
    EXPECT_TRUE(bytes().endsWith("AVISO_FIM=0\r\nOSC_PORT=9000\r\nOSC_HOSTS=192.168.1.20,::1\r\n"));
    EXPECT_EQ(readExtSettings(dir.path()), written);

    put("AVISO_FIM=61\r\nOSC_PORT=70000\r\nOSC_HOSTS= , \r\n");
    const ExtSettings read = readExtSettings(dir.path());
    EXPECT_EQ(read.endWarningSeconds, 10);
    EXPECT_EQ(read.oscPort, 0);
    EXPECT_TRUE(read.oscHosts.isEmpty());
}

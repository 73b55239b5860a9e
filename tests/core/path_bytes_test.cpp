// File names as bytes: every byte string survives decoding and encoding unchanged.
#include "core/path_bytes.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

using core::decodePathBytes;
using core::encodePathBytes;
using core::hasEscapedBytes;

namespace {

void expectRoundTrip(const QByteArray& bytes) {
    const QString text = core::decodePathBytes(bytes);
    bool ok = false;
    EXPECT_EQ(core::encodePathBytes(text, &ok), bytes) << bytes.toHex().toStdString();
    EXPECT_TRUE(ok);
}

TEST(PathBytes, ValidUtf8DecodesAsUtf8) {
    const QByteArray bytes = "M\xC3\xBAsica/can\xC3\xA7\xC3\xA3o \xF0\x9F\x8E\xB5.mp3";
    EXPECT_EQ(core::decodePathBytes(bytes), QString::fromUtf8(bytes));
    EXPECT_FALSE(core::hasEscapedBytes(core::decodePathBytes(bytes)));
    expectRoundTrip(bytes);
}

TEST(PathBytes, InvalidBytesBecomeLoneSurrogatesAndComeBack) {
    const QString text = core::decodePathBytes("caf\xE9.mp3"); // Latin-1 e-acute
    EXPECT_EQ(text, QString("caf") + QChar(0xDCE9) + ".mp3");
    EXPECT_TRUE(core::hasEscapedBytes(text));
    expectRoundTrip("caf\xE9.mp3");
}

// Sequences a lax decoder would accept: each would let two byte strings share one text.
TEST(PathBytes, MalformedSequencesAreEscapedByteByByte) {
    const QByteArray cases[] = {
        "\xC0\xAF",         // overlong '/'
        "\xE0\x80\xAF",     // overlong, three bytes
        "\xED\xA0\x80",     // encoded high surrogate
        "\xED\xB2\x80",     // encoded U+DC80, the escape of byte 0x80
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xE2\x82",         // cut short
        "\x80\xBF",         // continuation bytes alone
        "\xFF\xFE",
    };
    for (const QByteArray& bytes : cases) {
        const QString text = core::decodePathBytes(bytes);
        EXPECT_EQ(text.size(), bytes.size()) << bytes.toHex().toStdString();
        expectRoundTrip(bytes);
    }
}

TEST(PathBytes, RandomByteStringsRoundTrip) {
    std::mt19937 random(7);
    for (int i = 0; i < 5000; ++i) {
        QByteArray bytes;
        const int length = 1 + int(random() % 24);
        for (int j = 0; j < length; ++j) {
            // Mostly high bytes, so valid and invalid multi-byte sequences both occur.
            const unsigned byte =
                random() % 4 == 0 ? 0x20 + random() % 0x60 : 0x80 + random() % 0x80;
            bytes.append(char(byte));
        }
        expectRoundTrip(bytes);
    }
}

TEST(PathBytes, TextWithoutByteFormIsReported) {
    bool ok = true;
    const QString loneHigh = QString("a") + QChar(0xD800) + "b";
    EXPECT_EQ(core::encodePathBytes(loneHigh, &ok), QByteArray("a\xEF\xBF\xBD"
                                                               "b"));
    EXPECT_FALSE(ok);
    const QString loneLowBelowEscapes = QString(QChar(0xDC7F));
    core::encodePathBytes(loneLowBelowEscapes, &ok);
    EXPECT_FALSE(ok);
}

// A real character whose UTF-16 low half lies in the escape range is not taken for an escape.
TEST(PathBytes, SurrogatePairIsNotAnEscape) {
    const QByteArray bytes = "\xF0\x90\x82\x80"; // U+10080 = D800 DC80
    const QString text = core::decodePathBytes(bytes);
    EXPECT_EQ(text.size(), 2);
    EXPECT_FALSE(core::hasEscapedBytes(text));
    expectRoundTrip(bytes);
}

// Qt's own file classes cannot name a file whose name is not UTF-8; the check by bytes can.
TEST(PathBytes, FileCheckNamesFilesByTheirBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray root = core::encodePathBytes(dir.path()) + '/';
    const QByteArray odd = root + "caf\xE9.mp3";
    const int fd = ::open(odd.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(::mkdir((root + "folder.mp3").constData(), 0755), 0);
    ASSERT_EQ(::symlink(odd.constData(), (root + "link.mp3").constData()), 0);

    EXPECT_TRUE(core::isFileAt(core::decodePathBytes(odd)));
    EXPECT_FALSE(QFileInfo(core::decodePathBytes(odd)).isFile()); // why the check exists
    EXPECT_TRUE(core::isFileAt(core::decodePathBytes(root + "link.mp3")));
    EXPECT_FALSE(core::isFileAt(core::decodePathBytes(root + "folder.mp3")));
    EXPECT_FALSE(core::isFileAt(core::decodePathBytes(root + "missing.mp3")));
    EXPECT_FALSE(core::isFileAt(QString()));
    ::unlink(odd.constData());
}

} // namespace

#include "config/text_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace config;

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

TEST(TextFile, SplitsOnAnyLineEnd) {
    EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\n\rb"), (QStringList{"a", "", "b"}));
    EXPECT_TRUE(splitLines("").isEmpty());
}

TEST(TextFile, DecodesUtf8OnlyWhenValidElseWindows1252) {
    EXPECT_EQ(decodeText("Configura\xc3\xa7\xc3\xa3o"), QString::fromUtf8("Configuração"));
    EXPECT_EQ(decodeText("Configura\xe7\xe3o"), QString::fromUtf8("Configuração"));
    EXPECT_EQ(decodeText("\x80 \x93x\x94 \x81"), QString::fromUtf8("€ “x” \xc2\x81"));
    EXPECT_EQ(decodeText("\xef\xbb\xbfVOLUME=40"), "VOLUME=40");
}

// Writes `lines`, checks they read back unchanged, and gives the bytes on disk.
static QByteArray writtenBytes(const QStringList& lines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("perfil.txt");
    EXPECT_TRUE(writeTextLines(path, lines));
    EXPECT_EQ(readTextLines(path), lines);
    return fileBytes(path);
}

TEST(TextFile, WritesWindows1252WhenEveryCharacterFits) {
    EXPECT_EQ(writtenBytes({QString::fromUtf8("C:\\Músicas\\Canção €.mp3"), "fim"}),
              QByteArray("C:\\M\xfasicas\\Can\xe7\xe3o \x80.mp3\r\nfim\r\n"));
}

TEST(TextFile, WritesUtf8WhenACharacterDoesNotFit) {
    const QString name = QString::fromUtf8("/música/Ωmega 日本.mp3");
    EXPECT_EQ(writtenBytes({name}), name.toUtf8() + "\r\n");
    // Windows-1252 bytes of this text would decode as valid UTF-8 ("ç ã").
    const QString lookalike = QString::fromUtf8("Ã§ Ã£");
    EXPECT_EQ(writtenBytes({lookalike}), lookalike.toUtf8() + "\r\n");
}

TEST(TextFile, MissingFileReadsAsNothing) {
    QTemporaryDir dir;
    EXPECT_FALSE(readTextLines(dir.filePath("nada.ini")).has_value());
}

TEST(TextFile, WriteIntoMissingFolderFails) {
    QTemporaryDir dir;
    EXPECT_FALSE(writeTextLines(dir.filePath("nao/existe.ini"), {"x"}));
}

#include "audio/id3v1_tag.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using audio::Id3v1Tag;

namespace {

// A 128-byte block "TAG" + fields; each field is padded with zero bytes.
QByteArray tagBlock(const QByteArray& title, const QByteArray& comment = {}, char trackMarker = 0,
                    char track = 0, unsigned char genre = 17) {
    QByteArray block(128, '\0');
    block.replace(0, 3, "TAG");
    block.replace(3, title.size(), title);
    block.replace(33, 6, "Artist");
    block.replace(63, 5, "Album");
    block.replace(93, 4, "1999");
    block.replace(97, comment.size(), comment);
    block[125] = trackMarker;
    block[126] = track;
    block[127] = static_cast<char>(genre);
    return block;
}

Id3v1Tag parsed(const QByteArray& block) {
    Id3v1Tag tag;
    tag.ParseBuffer(block);
    return tag;
}

} // namespace

TEST(ID3v1Tag, FieldsAreReadAndCutAtZeroOrTrailingBlanks) {
    const Id3v1Tag tag = parsed(tagBlock("ABC"));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Title, "ABC");
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.Album, "Album");
    EXPECT_EQ(tag.Year, "1999");
    EXPECT_EQ(parsed(tagBlock("ABC  ")).Title, "ABC");
    EXPECT_EQ(parsed(tagBlock("ABC\t\r ")).Title, "ABC");
    const QByteArray thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCD";
    EXPECT_EQ(parsed(tagBlock(thirty)).Title, QString::fromLatin1(thirty));
}

TEST(ID3v1Tag, TextIsWindowsLatin1) {
    EXPECT_EQ(parsed(tagBlock("Can\xE7\xE3o \x80")).Title, QStringLiteral("Canção €"));
}

TEST(ID3v1Tag, TrackNumberOfVersion11) {
    const Id3v1Tag v11 = parsed(tagBlock("T", "A comment", 0, 7));
    EXPECT_EQ(v11.Track, 7);
    EXPECT_FALSE(v11.IsVersion10);
    EXPECT_EQ(v11.Comment, "A comment");

    const QByteArray full = "012345678901234567890123456789";
    const Id3v1Tag v10 = parsed(tagBlock("T", full, full[28], full[29]));
    EXPECT_EQ(v10.Track, 0);
    EXPECT_TRUE(v10.IsVersion10);
    EXPECT_EQ(v10.Comment, QString::fromLatin1(full));

    // A zero at byte 125 with no track after it is still version 1.0.
    EXPECT_TRUE(parsed(tagBlock("T", "short", 0, 0)).IsVersion10);
}

TEST(ID3v1Tag, GenreByteAndName) {
    EXPECT_EQ(parsed(tagBlock("T", {}, 0, 0, 17)).Genre, "Rock");
    EXPECT_EQ(parsed(tagBlock("T", {}, 0, 0, 0)).Genre, "Blues");
    EXPECT_EQ(parsed(tagBlock("T", {}, 0, 0, 147)).Genre, "Synthpop");
    const Id3v1Tag none = parsed(tagBlock("T", {}, 0, 0, 255));
    EXPECT_EQ(none.GenreId, 255);
    EXPECT_TRUE(none.Genre.isEmpty());
    EXPECT_TRUE(parsed(tagBlock("T", {}, 0, 0, 148)).Genre.isEmpty());
}

TEST(ID3v1Tag, GenreListHasTheProgramsOwnSpellings) {
    ASSERT_EQ(audio::GenreList.size(), 148u);
    EXPECT_EQ(audio::GenreName(67), "Psychedelic");
    EXPECT_EQ(audio::GenreName(81), "Folk/Rock");
    EXPECT_EQ(audio::GenreName(123), "Acapella");
    EXPECT_EQ(audio::GenreName(136), "Christian Gangs");
    EXPECT_EQ(audio::GenreName(140), "Contemporary Ch?");
    EXPECT_EQ(audio::GenreName(141), "Cristian Rock");
    EXPECT_EQ(audio::GenreName(80), "Folk");
    EXPECT_EQ(audio::GenreName(-1), "");
}

TEST(ID3v1Tag, BlocksWithoutTheMarkerAreNoTag) {
    QByteArray lower = tagBlock("ABC");
    lower.replace(0, 3, "tag");
    const Id3v1Tag tag = parsed(lower);
    EXPECT_FALSE(tag.Exists);
    EXPECT_TRUE(tag.Title.isEmpty());
    EXPECT_FALSE(parsed(tagBlock("ABC").left(127)).Exists);
}

TEST(ID3v1Tag, ParsingClearsWhatAPreviousTagLeft) {
    Id3v1Tag tag = parsed(tagBlock("Old", "c", 0, 3));
    QByteArray noTag(128, 'x');
    tag.ParseBuffer(noTag);
    EXPECT_FALSE(tag.Exists);
    EXPECT_TRUE(tag.Title.isEmpty());
    EXPECT_EQ(tag.Track, 0);
}

TEST(ID3v1Tag, StreamReadsTheLast128BytesFromItsPosition) {
    QByteArray data = QByteArray(500, 'a') + tagBlock("Tail") + QByteArray(10, 'z');
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    buffer.seek(100);
    Id3v1Tag tag;
    tag.ReadFromStream(buffer, 400 + 128);
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Title, "Tail");
}

TEST(ID3v1Tag, FilesShortOrMissingHaveNoTag) {
    QTemporaryDir dir;
    const QString shortFile = dir.filePath("short.mp3");
    QFile file(shortFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(tagBlock("Cut").left(127));
    file.close();

    Id3v1Tag tag;
    EXPECT_TRUE(tag.ReadFromFile(shortFile));
    EXPECT_FALSE(tag.Exists);
    EXPECT_FALSE(tag.ReadFromFile(dir.filePath("missing.mp3")));
    EXPECT_FALSE(tag.Exists);
}

TEST(ID3v1Tag, FileWithTagAtItsEnd) {
    QTemporaryDir dir;
    QFile file(dir.filePath("song.mp3"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4000, '\x55') + tagBlock("Song", "", 0, 12, 13));
    file.close();

    Id3v1Tag tag;
    ASSERT_TRUE(tag.ReadFromFile(file.fileName()));
    EXPECT_EQ(tag.Title, "Song");
    EXPECT_EQ(tag.Track, 12);
    EXPECT_EQ(tag.Genre, "Pop");
}

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
    tag.parseBuffer(block);
    return tag;
}

} // namespace

TEST(ID3v1Tag, FieldsAreReadAndCutAtZeroOrTrailingBlanks) {
    const Id3v1Tag tag = parsed(tagBlock("ABC"));
    EXPECT_TRUE(tag.exists);
    EXPECT_EQ(tag.title, "ABC");
    EXPECT_EQ(tag.artist, "Artist");
    EXPECT_EQ(tag.album, "Album");
    EXPECT_EQ(tag.year, "1999");
    EXPECT_EQ(parsed(tagBlock("ABC  ")).title, "ABC");
    EXPECT_EQ(parsed(tagBlock("ABC\t\r ")).title, "ABC");
    const QByteArray thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCD";
    EXPECT_EQ(parsed(tagBlock(thirty)).title, QString::fromLatin1(thirty));
}

TEST(ID3v1Tag, TextIsWindowsLatin1) {
    EXPECT_EQ(parsed(tagBlock("Can\xE7\xE3o \x80")).title, QStringLiteral("Canção €"));
}

TEST(ID3v1Tag, TrackNumberOfVersion11) {
    const Id3v1Tag v11 = parsed(tagBlock("T", "A comment", 0, 7));
    EXPECT_EQ(v11.track, 7);
    EXPECT_FALSE(v11.isVersion10);
    EXPECT_EQ(v11.comment, "A comment");

    const QByteArray full = "012345678901234567890123456789";
    const Id3v1Tag v10 = parsed(tagBlock("T", full, full[28], full[29]));
    EXPECT_EQ(v10.track, 0);
    EXPECT_TRUE(v10.isVersion10);
    EXPECT_EQ(v10.comment, QString::fromLatin1(full));

    // A zero at byte 125 with no track after it is still version 1.0.
    EXPECT_TRUE(parsed(tagBlock("T", "short", 0, 0)).isVersion10);
}

TEST(ID3v1Tag, GenreByteAndName) {
    EXPECT_EQ(parsed(tagBlock("T", {}, 0, 0, 17)).genre, "Rock");
    EXPECT_EQ(parsed(tagBlock("T", {}, 0, 0, 0)).genre, "Blues");
    EXPECT_EQ(parsed(tagBlock("T", {}, 0, 0, 147)).genre, "Synthpop");
    const Id3v1Tag none = parsed(tagBlock("T", {}, 0, 0, 255));
    EXPECT_EQ(none.genreId, 255);
    EXPECT_TRUE(none.genre.isEmpty());
    EXPECT_TRUE(parsed(tagBlock("T", {}, 0, 0, 148)).genre.isEmpty());
}

TEST(ID3v1Tag, GenreListHasTheProgramsOwnSpellings) {
    ASSERT_EQ(audio::kGenreNames.size(), 148u);
    EXPECT_EQ(audio::genreName(67), "Psychedelic");
    EXPECT_EQ(audio::genreName(81), "Folk/Rock");
    EXPECT_EQ(audio::genreName(123), "Acapella");
    EXPECT_EQ(audio::genreName(136), "Christian Gangs");
    EXPECT_EQ(audio::genreName(140), "Contemporary Ch?");
    EXPECT_EQ(audio::genreName(141), "Cristian Rock");
    EXPECT_EQ(audio::genreName(80), "Folk");
    EXPECT_EQ(audio::genreName(-1), "");
}

TEST(ID3v1Tag, BlocksWithoutTheMarkerAreNoTag) {
    QByteArray lower = tagBlock("ABC");
    lower.replace(0, 3, "tag");
    const Id3v1Tag tag = parsed(lower);
    EXPECT_FALSE(tag.exists);
    EXPECT_TRUE(tag.title.isEmpty());
    EXPECT_FALSE(parsed(tagBlock("ABC").left(127)).exists);
}

TEST(ID3v1Tag, ParsingClearsWhatAPreviousTagLeft) {
    Id3v1Tag tag = parsed(tagBlock("Old", "c", 0, 3));
    QByteArray noTag(128, 'x');
    tag.parseBuffer(noTag);
    EXPECT_FALSE(tag.exists);
    EXPECT_TRUE(tag.title.isEmpty());
    EXPECT_EQ(tag.track, 0);
}

TEST(ID3v1Tag, StreamReadsTheLast128BytesFromItsPosition) {
    QByteArray data = QByteArray(500, 'a') + tagBlock("Tail") + QByteArray(10, 'z');
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    buffer.seek(100);
    Id3v1Tag tag;
    tag.readFromStream(buffer, 400 + 128);
    EXPECT_TRUE(tag.exists);
    EXPECT_EQ(tag.title, "Tail");
}

TEST(ID3v1Tag, FilesShortOrMissingHaveNoTag) {
    QTemporaryDir dir;
    const QString shortFile = dir.filePath("short.mp3");
    QFile file(shortFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(tagBlock("Cut").left(127));
    file.close();

    Id3v1Tag tag;
    EXPECT_TRUE(tag.readFromFile(shortFile));
    EXPECT_FALSE(tag.exists);
    EXPECT_FALSE(tag.readFromFile(dir.filePath("missing.mp3")));
    EXPECT_FALSE(tag.exists);
}

TEST(ID3v1Tag, FileWithTagAtItsEnd) {
    QTemporaryDir dir;
    QFile file(dir.filePath("song.mp3"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4000, '\x55') + tagBlock("Song", "", 0, 12, 13));
    file.close();

    Id3v1Tag tag;
    ASSERT_TRUE(tag.readFromFile(file.fileName()));
    EXPECT_EQ(tag.title, "Song");
    EXPECT_EQ(tag.track, 12);
    EXPECT_EQ(tag.genre, "Pop");
}

#include "audio/file_tags.h"
#include "core/path_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace audio {
void PrintTo(const FileTags& tags, std::ostream* out) {
    *out << '{' << tags.title.toStdString() << " | " << tags.artist.toStdString() << " | "
         << tags.composer.toStdString() << '}';
}
} // namespace audio

namespace {

// A short MP3 with the given ffmpeg options (tags), or none.
QByteArray mp3(const QStringList& options) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tone.mp3");
    const QStringList tone{"-nostdin", "-loglevel", "error", "-y",
                           "-f",       "lavfi",     "-i",    "sine=frequency=440:duration=0.3",
                           "-c:a",     "libmp3lame"};
    if (QProcess::execute("ffmpeg", tone + options + QStringList{path}) != 0) {
        return {};
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An ID3v1 block (Windows-1252 text).
QByteArray id3v1Block() {
    QByteArray block(128, '\0');
    block.replace(0, 3, "TAG");
    block.replace(3, 9, "Caf\xe9 \x80 10");
    block.replace(33, 6, "Artist");
    return block;
}

bool writeAtBytes(const QByteArray& pathBytes, const QByteArray& content) {
    const int fd = ::open(pathBytes.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok =
        fd >= 0 && ::write(fd, content.constData(), std::size_t(content.size())) == content.size();
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

TEST(FileTags, ContainerTagsFirstThenId3v1ThenNothing) {
    QTemporaryDir dir;
    const QString tagged = dir.filePath("tagged.mp3");
    ASSERT_TRUE(writeAtBytes(QFile::encodeName(tagged),
                             mp3({"-metadata", "title=Canção do mar", "-metadata",
                                  "artist=Rádio, \"Bandora\"", "-metadata", "composer=J. Silva"})));
    EXPECT_EQ(audio::readFileTags(tagged),
              (audio::FileTags{"Canção do mar", "Rádio, \"Bandora\"", "J. Silva"}));

    // A name that is not UTF-8 is opened by its bytes; the ID3v1 block is read as
    // Windows-1252 (FFmpeg's own reading of it takes the bytes as Latin-1).
    const QByteArray oddName = QFile::encodeName(dir.path()) + "/caf\xe9.mp3";
    ASSERT_TRUE(writeAtBytes(oddName, mp3({"-id3v2_version", "0"}) + id3v1Block()));
    EXPECT_EQ(audio::readFileTags(core::decodePathBytes(oddName)),
              (audio::FileTags{"Café € 10", "Artist", ""}));
    ::unlink(oddName.constData()); // QTemporaryDir cannot name it

    EXPECT_EQ(audio::readFileTags(dir.filePath("missing.mp3")), audio::FileTags{});
    EXPECT_EQ(audio::readFileTags(dir.path()), audio::FileTags{});
}

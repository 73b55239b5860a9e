#include "audio/file_tags.h"
#include "core/path_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool makeTaggedMp3(const QString& path) {
    const int status = QProcess::execute(
        "ffmpeg", {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                   "sine=frequency=440:duration=0.3", "-c:a", "libmp3lame", "-metadata",
                   "title=Canção do mar", "-metadata", "artist=Rádio, \"Bandora\"", "-metadata",
                   "composer=J. Silva", path});
    return status == 0;
}

// Bytes FFmpeg recognises as no format, then an ID3v1 block (Windows-1252 text).
QByteArray id3v1OnlyFile() {
    QByteArray block(128, '\0');
    block.replace(0, 3, "TAG");
    block.replace(3, 9, "Caf\xe9 \x80 10");
    block.replace(33, 6, "Artist");
    return QByteArray(4096, '\0') + block;
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
    const QString mp3 = dir.filePath("tagged.mp3");
    ASSERT_TRUE(makeTaggedMp3(mp3));
    EXPECT_EQ(audio::readFileTags(mp3),
              (audio::FileTags{"Canção do mar", "Rádio, \"Bandora\"", "J. Silva"}));

    // A name that is not UTF-8 is opened by its bytes.
    const QByteArray oddName = QFile::encodeName(dir.path()) + "/caf\xe9.mp3";
    ASSERT_TRUE(writeAtBytes(oddName, id3v1OnlyFile()));
    EXPECT_EQ(audio::readFileTags(core::decodePathBytes(oddName)),
              (audio::FileTags{"Café € 10", "Artist", ""}));
    ::unlink(oddName.constData()); // QTemporaryDir cannot name it

    EXPECT_EQ(audio::readFileTags(dir.filePath("missing.mp3")), audio::FileTags{});
    EXPECT_EQ(audio::readFileTags(dir.path()), audio::FileTags{});
}

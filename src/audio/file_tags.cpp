#include "audio/file_tags.h"

#include "audio/id3v1_tag.h"
#include "core/path_bytes.h"
#include "core/windows1252.h"

#include <QFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

namespace audio {

namespace {

QString metadataValue(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value).trimmed() : QString();
}

void fillFrom(const AVDictionary* metadata, FileTags& tags) {
    if (tags.title.isEmpty())
        tags.title = metadataValue(metadata, "title");
    if (tags.artist.isEmpty())
        tags.artist = metadataValue(metadata, "artist");
    if (tags.composer.isEmpty())
        tags.composer = metadataValue(metadata, "composer");
}

FileTags ffmpegTags(const QString& path) {
    FileTags tags;
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    // The bytes of the name as they are on disk, and only the file protocol: a name holding
    // ':' is never taken for a URL.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const QByteArray url = "file:" + core::encodePathBytes(path);
    if (avformat_open_input(&format, url.constData(), nullptr, &options) == 0) {
        // Container tags first; formats such as Ogg keep them on the audio stream.
        fillFrom(format->metadata, tags);
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            fillFrom(format->streams[i]->metadata, tags);
        }
        avformat_close_input(&format);
    }
    av_dict_free(&options);
    return tags;
}

// QFile cannot name a file whose name is not UTF-8: open it by its bytes.
Id3v1Tag id3v1Tag(const QString& path) {
    Id3v1Tag tag;
    const int fd = ::open(core::encodePathBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    QFile file;
    if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        tag.readFromStream(file, file.size());
    } else if (fd >= 0) {
        ::close(fd);
    }
    return tag;
}

// FFmpeg reads an ID3v1 block too, but passes its bytes on as if they were UTF-8 (older
// versions: Latin-1), and the block is Windows-1252: "Café" comes out as "Caf\uFFFD". A value
// that is such a reading of the block's field is taken from the block; a block that holds valid
// UTF-8 is left to FFmpeg, which reads it right.
QString preferringBlock(const QString& ffmpegValue, const QString& blockValue) {
    if (ffmpegValue.isEmpty()) {
        return blockValue;
    }
    const std::optional<QByteArray> raw = core::toWindows1252(blockValue);
    if (!raw) {
        return ffmpegValue;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8(*raw);
    if (!utf8.hasError()) {
        return ffmpegValue;
    }
    const bool misread = ffmpegValue == asUtf8 || ffmpegValue == QString::fromLatin1(*raw);
    return misread ? blockValue : ffmpegValue;
}

} // namespace

FileTags readFileTags(const QString& path) {
    if (!core::isFileAt(path)) {
        return {};
    }
    FileTags tags = ffmpegTags(path);
    if (const Id3v1Tag id3 = id3v1Tag(path); id3.exists) {
        tags.title = preferringBlock(tags.title, id3.title);
        tags.artist = preferringBlock(tags.artist, id3.artist);
    }
    return tags;
}

} // namespace audio

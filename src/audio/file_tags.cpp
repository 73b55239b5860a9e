#include "audio/file_tags.h"

#include "audio/id3v1_tag.h"
#include "core/path_bytes.h"

#include <QFile>

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

} // namespace

FileTags readFileTags(const QString& path) {
    if (!core::isFileAt(path)) {
        return {};
    }
    FileTags tags = ffmpegTags(path);
    if (tags.title.isEmpty() || tags.artist.isEmpty()) {
        if (const Id3v1Tag id3 = id3v1Tag(path); id3.exists) {
            if (tags.title.isEmpty())
                tags.title = id3.title;
            if (tags.artist.isEmpty())
                tags.artist = id3.artist;
        }
    }
    return tags;
}

} // namespace audio

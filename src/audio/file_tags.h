#pragma once
// Title, artist and composer of an audio file, for logs: from the tags FFmpeg reads (ID3v2,
// RIFF INFO, ASF, Vorbis comments, ...), a field FFmpeg does not give from the ID3v1 block,
// else empty.
#include <QString>

namespace audio {

struct FileTags {
    QString title;
    QString artist;
    QString composer;
    bool operator==(const FileTags&) const = default;
};

// Never throws. Reads only the file's header and its last 128 bytes; a path that names no
// regular file (missing, a folder, a pipe) gives empty tags at once. Any thread.
FileTags readFileTags(const QString& path);

} // namespace audio

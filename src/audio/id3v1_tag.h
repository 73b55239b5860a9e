#pragma once
// Reader of the ID3v1 / ID3v1.1 tag block in the last 128 bytes of an audio file.
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

class QIODevice;

namespace audio {

// The ID3v1 genre names with the Winamp extensions, indexed by the tag's genre byte.
extern const std::array<const char*, 148> GenreList;

// Name of a genre byte; empty for bytes without a name (148..255).
QString GenreName(int genreId);

class Id3v1Tag {
public:
    static constexpr int kBlockSize = 128;

    bool Exists = false;
    bool IsVersion10 = false; // no track number in the block
    QString Title;
    QString Artist;
    QString Album;
    std::int32_t Track = 0;
    QString Comment;
    QString Year;
    std::int32_t GenreId = 0;
    QString Genre;

    // False when the file cannot be opened; Exists is then false.
    bool ReadFromFile(const QString& fileName);
    // Reads the block ending `size` bytes after the stream's current position.
    void ReadFromStream(QIODevice& stream, qint64 size);
    void ParseBuffer(QByteArrayView block);
};

} // namespace audio

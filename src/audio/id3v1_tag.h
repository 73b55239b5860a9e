#pragma once
// Reader of the ID3v1 / ID3v1.1 tag block in the last 128 bytes of an audio file.
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

class QIODevice;

namespace audio {

// The ID3v1 genre names with the Winamp extensions, indexed by the tag's genre byte.
extern const std::array<const char*, 148> kGenreNames;

// Name of a genre byte; empty for bytes without a name (148..255).
QString genreName(int genreId);

class Id3v1Tag {
public:
    static constexpr int kBlockSize = 128;

    bool exists = false;
    bool isVersion10 = false; // no track number in the block
    QString title;
    QString artist;
    QString album;
    std::int32_t track = 0;
    QString comment;
    QString year;
    std::int32_t genreId = 0;
    QString genre;

    // False when the file cannot be opened; exists is then false.
    bool readFromFile(const QString& fileName);
    // Reads the block ending `size` bytes after the stream's current position.
    void readFromStream(QIODevice& stream, qint64 size);
    void parseBuffer(QByteArrayView block);
};

} // namespace audio

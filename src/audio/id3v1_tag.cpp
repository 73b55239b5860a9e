#include "audio/id3v1_tag.h"

#include "core/windows1252.h"

#include <QFile>

namespace audio {

const std::array<const char*, 148> kGenreNames{
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    // 80 onwards: the Winamp extensions
    "Folk", "Folk/Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "Acapella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Afro-Punk", "Polsk Punk", "Beat", "Christian Gangs", "Heavy Metal", "Black Metal",
    "Crossover", "Contemporary Ch?", "Cristian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime",
    "JPop", "Synthpop"};

QString genreName(int genreId) {
    if (genreId < 0 || genreId >= static_cast<int>(kGenreNames.size())) {
        return {};
    }
    return QString::fromLatin1(kGenreNames[static_cast<std::size_t>(genreId)]);
}

namespace {

// Raw bytes cut before the first zero, then stripped of trailing blanks and control characters.
QString textField(QByteArrayView block, qsizetype offset, qsizetype length) {
    QByteArrayView field = block.sliced(offset, length);
    if (const qsizetype zero = field.indexOf('\0'); zero >= 0) {
        field.truncate(zero);
    }
    while (!field.isEmpty() && static_cast<unsigned char>(field.back()) <= ' ') {
        field.chop(1);
    }
    return core::fromWindows1252(field);
}

} // namespace

bool Id3v1Tag::readFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        exists = false;
        return false;
    }
    readFromStream(file, file.size());
    return true;
}

void Id3v1Tag::readFromStream(QIODevice& stream, qint64 size) {
    if (size < kBlockSize) {
        exists = false;
        return;
    }
    if (!stream.seek(stream.pos() + size - kBlockSize)) {
        parseBuffer({});
        return;
    }
    const QByteArray block = stream.read(kBlockSize);
    parseBuffer(block);
}

void Id3v1Tag::parseBuffer(QByteArrayView block) {
    *this = Id3v1Tag();
    if (block.size() < kBlockSize || block.first(3) != QByteArrayView("TAG")) {
        return;
    }
    exists = true;
    title = textField(block, 3, 30);
    artist = textField(block, 33, 30);
    album = textField(block, 63, 30);
    year = textField(block, 93, 4);
    comment = textField(block, 97, 30);
    const auto trackMarker = static_cast<unsigned char>(block[125]);
    const auto trackByte = static_cast<unsigned char>(block[126]);
    isVersion10 = !(trackMarker == 0 && trackByte != 0);
    track = isVersion10 ? 0 : trackByte;
    genreId = static_cast<unsigned char>(block[127]);
    genre = genreName(genreId);
}

} // namespace audio

#pragma once
// Markers carried inside broadcast WAV files, in the "cart" chunk (AES46): its eight post
// timers name points of the audio by a four-letter code and a frame offset.
//
// Reading walks the RIFF chunks by their headers and reads the cart chunk's fixed part alone,
// so a damaged or huge file costs a few small reads and never an allocation from a size the
// file claims. Writing changes the cart chunk only: every other chunk is copied byte for byte
// into a temporary file beside the original, which then replaces it in one rename.
#include "carts/markers.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace carts {

struct CartChunk {
    QString title;
    QString artist;
    Markers markers;
};

// nullopt for anything that is not a RIFF WAVE file with a cart chunk; never fails otherwise.
std::optional<CartChunk> parseCartChunk(QByteArrayView wavBytes);
std::optional<CartChunk> readCartChunk(const QString& path);

// A RIFF WAVE file, which writeCartMarkers() can take, with a cart chunk or without.
bool isWaveFile(const QString& path);

// Sets the cart chunk's timers to `markers` (a marker without value loses its timer), creating
// the chunk before the audio when the file has none, keeping an existing chunk's other fields
// and any timer of another kind. nullopt when written; otherwise why not, for the operator
// (the original is then untouched).
std::optional<QString> writeCartMarkers(const QString& path, const Markers& markers);

} // namespace carts

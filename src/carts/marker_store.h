#pragma once
// The markers the operator set for audio files, kept in bandoramarks.ini in the program folder
// (format in README.md, "Markers file"): one line per file, keyed by the file's path, each with
// the file's length when the markers were set, so a file that changed length is noticed.
//
// A damaged file loses nothing that reads: readable lines are kept, the others are moved to
// a file of their own beside it, and the operator is told once. Every change is saved at once,
// the file replaced whole.
//
// User-interface thread only: it is the model's.
#include "carts/markers.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace carts {

inline constexpr auto kMarkersFile = "bandoramarks.ini";

enum class MarkersSource { None, Operator, CartChunk };

struct EffectiveMarkers {
    Markers markers;
    MarkersSource source = MarkersSource::None;
};

class MarkerStore {
public:
    // Reads `programDir`'s markers file. Returns the message for the operator when lines had to
    // be set aside, else an empty text. A missing file is an empty store.
    QString load(const QString& programDir);

    std::optional<Markers> markersFor(const QString& path) const;
    // The operator's markers when set, else those of the file's own cart chunk, else none.
    // Reads the file's chunk headers: a few small reads.
    EffectiveMarkers effectiveMarkers(const QString& path) const;

    // Each returns an empty text when saved, else the message for the operator. Empty markers
    // are the same as clear(). `lengthFrames`: the file's length now, when known.
    QString set(const QString& path, const Markers& markers,
                std::optional<std::int64_t> lengthFrames = std::nullopt);
    QString clear(const QString& path);

    // Tells the store the file's length as found now. When it differs from the length the
    // markers were set on, markers past the new end are dropped and the returned message says
    // so; the new length is kept, so the same change is told once.
    QString reconcile(const QString& path, std::int64_t lengthFrames);

private:
    struct Entry {
        Markers markers;
        std::optional<std::int64_t> lengthFrames;
    };
    QString save();
    QString setAside(const QList<QByteArray>& damaged);

    QString file_;
    QHash<QString, Entry> entries_;
    QList<QByteArray> unplaced_; // damaged lines no side file could take: written back as read
};

} // namespace carts

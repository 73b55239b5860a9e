#pragma once
// Waveform peaks of audio files: reduced from the audio the loudness pass decodes anyway, and
// kept between runs in bandorapeaks.cache in the program folder.
//
// The cache is a binary file that only grows by whole records, one per file measured, so a
// new entry costs one append and the file is never read whole: opening it reads the record
// headers into an index, and a file's peaks are read when asked for. A record answers only
// while the audio file's size and modification time are unchanged. A cache with another
// header is ignored and started anew; a damaged record ends the readable part, and the next
// append cuts the damage off first. Once superseded records outweigh live ones the file is
// rewritten with the live ones alone.
//
// Not shared between threads: the loudness worker owns its cache.
#include "audio/loudness_meter.h"
#include "carts/loudness_cache.h"
#include "carts/markers.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

namespace carts {

inline constexpr auto kPeaksCacheFile = "bandorapeaks.cache";

// 5.8 ms at 44.1 kHz, fine enough to place a cue by eye; a ten-minute file keeps about 100 000
// buckets, 400 KB in the cache.
inline constexpr int kFramesPerPeak = 256;

// Reduces decoded audio to peaks. Values are kept at the cache's 16-bit precision, so peaks
// read back from the cache equal the ones computed.
class PeaksBuilder final : public audio::DecodeObserver {
public:
    // Called with the share of the file seen so far, 0..1, on the decoding thread.
    using Progress = std::function<void(double)>;
    explicit PeaksBuilder(Progress progress = {}) : progress_(std::move(progress)) {}

    void begin(std::uint32_t rate, std::uint64_t lengthFrames) override;
    void frames(const float* stereo, std::size_t count) override;
    // The peaks of everything seen; the builder is empty afterwards.
    Peaks take();

private:
    void closeBucket();

    Progress progress_;
    Peaks peaks_;
    std::uint64_t lengthFrames_ = 0;
    int inBucket_ = 0;
    float low_ = 0.0F;
    float high_ = 0.0F;
};

class PeaksCache {
public:
    // Reads the index of `file`; a missing or foreign file gives an empty cache.
    static PeaksCache open(const QString& file);

    bool contains(const QString& path, const FileStamp& stamp) const;
    // nullopt when not cached for this stamp, or when the record does not read back intact.
    std::optional<Peaks> find(const QString& path, const FileStamp& stamp) const;
    // Appends the record at once. False when the cache file could not be written.
    bool store(const QString& path, const FileStamp& stamp, const Peaks& peaks);
    qsizetype size() const { return index_.size(); }

private:
    struct Entry {
        FileStamp stamp;
        std::int64_t offset = 0;
        std::int64_t bytes = 0;
    };
    void scan();
    void compact();
    bool startOver();

    QString file_;
    QHash<QString, Entry> index_;
    std::int64_t validEnd_ = 0; // end of the readable records; 0: no valid header
    std::int64_t fileEnd_ = 0;
    std::int64_t liveBytes_ = 0;
    std::int64_t deadBytes_ = 0;
};

} // namespace carts

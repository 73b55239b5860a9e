#include "carts/peaks.h"

#include "carts/raw_file.h"
#include "core/path_bytes.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace carts {

namespace {

const QByteArray kHeader = QByteArrayLiteral("BANDORA-PEAKS 1\n");
const QByteArray kRecordMagic = QByteArrayLiteral("PKS1");
constexpr std::int64_t kRecordHeaderBytes = 8; // magic, payload size
constexpr std::int64_t kChecksumBytes = 4;
// Payload without the path and the values: path length, size, modified, rate, frames,
// frames per peak, count.
constexpr std::int64_t kPayloadFixedBytes = 4 + 8 + 8 + 4 + 8 + 4 + 4;
constexpr std::int64_t kMaxPathBytes = 65536;
constexpr std::int64_t kCompactAboveBytes = 1 << 20;
constexpr float kScale = 32767.0F;

qint16 sampleOf(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<qint16>(std::lrint(std::clamp(value, -1.0F, 1.0F) * kScale));
}

float valueOf(qint16 sample) {
    return static_cast<float>(sample) / kScale;
}

// Lowers `low` and raises `high` to the extremes of `count` samples. The builder runs inside
// the loudness pass on every sample of every file: four lanes at a time where the processor
// has them, with a NaN sample ignored (the vector min and max keep their second operand).
void widen(const float* samples, std::size_t count, float& low, float& high) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if (count >= 8) {
        __m128 lowA = _mm_set1_ps(low);
        __m128 highA = _mm_set1_ps(high);
        __m128 lowB = lowA;
        __m128 highB = highA;
        for (; i + 8 <= count; i += 8) {
            const __m128 a = _mm_loadu_ps(samples + i);
            const __m128 b = _mm_loadu_ps(samples + i + 4);
            lowA = _mm_min_ps(a, lowA);
            highA = _mm_max_ps(a, highA);
            lowB = _mm_min_ps(b, lowB);
            highB = _mm_max_ps(b, highB);
        }
        alignas(16) float lows[4];
        alignas(16) float highs[4];
        _mm_store_ps(lows, _mm_min_ps(lowA, lowB));
        _mm_store_ps(highs, _mm_max_ps(highA, highB));
        low = std::min({lows[0], lows[1], lows[2], lows[3]});
        high = std::max({highs[0], highs[1], highs[2], highs[3]});
    }
#endif
    for (; i < count; ++i) {
        low = samples[i] < low ? samples[i] : low;
        high = samples[i] > high ? samples[i] : high;
    }
}

quint32 checksumOf(const QByteArray& bytes) {
    quint32 hash = 2166136261U; // FNV-1a
    for (const char c : bytes) {
        hash = (hash ^ static_cast<quint8>(c)) * 16777619U;
    }
    return hash;
}

template <typename T> void put(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> T take(const QByteArray& in, qsizetype& at) {
    const T value = qFromLittleEndian<T>(in.constData() + at);
    at += sizeof(T);
    return value;
}

QByteArray payloadOf(const QString& path, const FileStamp& stamp, const Peaks& peaks) {
    const QByteArray name = core::encodePathBytes(path);
    QByteArray out;
    out.reserve(qsizetype(kPayloadFixedBytes) + name.size() + qsizetype(peaks.low.size()) * 4);
    put<quint32>(out, quint32(name.size()));
    out += name;
    put<qint64>(out, stamp.size);
    put<qint64>(out, stamp.modifiedNs);
    put<quint32>(out, quint32(peaks.sampleRate));
    put<qint64>(out, peaks.totalFrames);
    put<quint32>(out, quint32(peaks.framesPerPeak));
    put<quint32>(out, quint32(peaks.low.size()));
    for (const float v : peaks.low) {
        put<qint16>(out, sampleOf(v));
    }
    for (const float v : peaks.high) {
        put<qint16>(out, sampleOf(v));
    }
    return out;
}

struct RecordHead {
    QString path;
    FileStamp stamp;
    std::int64_t bytes = 0; // the whole record
};

// The record at `offset` when its sizes agree with each other and with the file.
std::optional<RecordHead> recordAt(const RawFile& file, std::int64_t offset, std::int64_t end) {
    const QByteArray head = file.readAt(offset, kRecordHeaderBytes + 4);
    if (head.size() < kRecordHeaderBytes + 4 || !head.startsWith(kRecordMagic)) {
        return std::nullopt;
    }
    qsizetype at = 4;
    const std::int64_t payload = take<quint32>(head, at);
    const std::int64_t pathBytes = take<quint32>(head, at);
    const std::int64_t bytes = kRecordHeaderBytes + payload + kChecksumBytes;
    if (pathBytes == 0 || pathBytes > kMaxPathBytes || payload < kPayloadFixedBytes + pathBytes ||
        offset + bytes > end) {
        return std::nullopt;
    }
    const QByteArray fixed =
        file.readAt(offset + kRecordHeaderBytes + 4, kPayloadFixedBytes - 4 + pathBytes);
    if (fixed.size() < kPayloadFixedBytes - 4 + pathBytes) {
        return std::nullopt;
    }
    at = qsizetype(pathBytes);
    RecordHead record{core::decodePathBytes(fixed.left(qsizetype(pathBytes))), {}, bytes};
    record.stamp.size = take<qint64>(fixed, at);
    record.stamp.modifiedNs = take<qint64>(fixed, at);
    at += 4 + 8 + 4; // rate, frames, frames per peak
    const std::int64_t count = take<quint32>(fixed, at);
    if (payload != kPayloadFixedBytes + pathBytes + count * 4) {
        return std::nullopt;
    }
    return record;
}

std::optional<Peaks> peaksOf(const QByteArray& payload) {
    qsizetype at = 0;
    const qsizetype pathBytes = take<quint32>(payload, at);
    at += pathBytes + 16; // path, stamp: known from the index
    Peaks peaks;
    peaks.sampleRate = int(take<quint32>(payload, at));
    peaks.totalFrames = take<qint64>(payload, at);
    peaks.framesPerPeak = int(take<quint32>(payload, at));
    const qsizetype count = take<quint32>(payload, at);
    if (peaks.sampleRate <= 0 || peaks.framesPerPeak <= 0 || peaks.totalFrames < 0 ||
        payload.size() != at + count * 4) {
        return std::nullopt;
    }
    peaks.low.resize(std::size_t(count));
    peaks.high.resize(std::size_t(count));
    for (float& v : peaks.low) {
        v = valueOf(take<qint16>(payload, at));
    }
    for (float& v : peaks.high) {
        v = valueOf(take<qint16>(payload, at));
    }
    return peaks;
}

} // namespace

void PeaksBuilder::begin(std::uint32_t rate, std::uint64_t lengthFrames) {
    peaks_ = Peaks{int(rate), 0, kFramesPerPeak, {}, {}};
    lengthFrames_ = lengthFrames;
    peaks_.low.reserve(std::size_t(lengthFrames / kFramesPerPeak + 1));
    peaks_.high.reserve(std::size_t(lengthFrames / kFramesPerPeak + 1));
    inBucket_ = 0;
}

void PeaksBuilder::frames(const float* stereo, std::size_t count) {
    peaks_.totalFrames += std::int64_t(count);
    while (count > 0) {
        if (inBucket_ == 0) {
            low_ = high_ = std::isnan(stereo[0]) ? 0.0F : stereo[0];
        }
        const std::size_t run = std::min(count, std::size_t(kFramesPerPeak - inBucket_));
        widen(stereo, run * 2, low_, high_);
        stereo += run * 2;
        count -= run;
        inBucket_ += int(run);
        if (inBucket_ == kFramesPerPeak) {
            closeBucket();
        }
    }
    if (progress_ && lengthFrames_ > 0) {
        progress_(std::min(1.0, double(peaks_.totalFrames) / double(lengthFrames_)));
    }
}

void PeaksBuilder::closeBucket() {
    peaks_.low.push_back(valueOf(sampleOf(low_)));
    peaks_.high.push_back(valueOf(sampleOf(high_)));
    inBucket_ = 0;
}

Peaks PeaksBuilder::take() {
    if (inBucket_ > 0) {
        closeBucket();
    }
    return std::exchange(peaks_, Peaks{});
}

PeaksCache PeaksCache::open(const QString& file) {
    PeaksCache cache;
    cache.file_ = file;
    cache.scan();
    std::int64_t staleBytes = cache.deadBytes_;
    for (auto it = cache.index_.cbegin(); it != cache.index_.cend(); ++it) {
        staleBytes += stampOf(it.key()) == it->stamp ? 0 : it->bytes; // gone or changed
    }
    if (staleBytes > cache.liveBytes_ / 2 && staleBytes > kCompactAboveBytes) {
        cache.compact();
    }
    return cache;
}

void PeaksCache::scan() {
    index_.clear();
    validEnd_ = fileEnd_ = liveBytes_ = deadBytes_ = 0;
    const std::optional<RawFile> file = RawFile::open(file_, RawFile::Mode::Read);
    if (!file) {
        return;
    }
    fileEnd_ = file->size();
    if (file->readAt(0, kHeader.size()) != kHeader) {
        return;
    }
    std::int64_t offset = kHeader.size();
    while (const std::optional<RecordHead> record = recordAt(*file, offset, fileEnd_)) {
        if (const auto old = index_.constFind(record->path); old != index_.cend()) {
            liveBytes_ -= old->bytes;
            deadBytes_ += old->bytes;
        }
        index_.insert(record->path, Entry{record->stamp, offset, record->bytes});
        liveBytes_ += record->bytes;
        offset += record->bytes;
    }
    validEnd_ = offset;
}

bool PeaksCache::contains(const QString& path, const FileStamp& stamp) const {
    const auto it = index_.constFind(path);
    return it != index_.cend() && it->stamp == stamp;
}

std::optional<Peaks> PeaksCache::find(const QString& path, const FileStamp& stamp) const {
    const auto it = index_.constFind(path);
    if (it == index_.cend() || it->stamp != stamp) {
        return std::nullopt;
    }
    const std::optional<RawFile> file = RawFile::open(file_, RawFile::Mode::Read);
    const QByteArray record = file ? file->readAt(it->offset, it->bytes) : QByteArray();
    if (record.size() != it->bytes) {
        return std::nullopt;
    }
    const QByteArray payload =
        record.mid(kRecordHeaderBytes, record.size() - kRecordHeaderBytes - kChecksumBytes);
    qsizetype at = record.size() - kChecksumBytes;
    if (checksumOf(payload) != take<quint32>(record, at)) {
        return std::nullopt;
    }
    return peaksOf(payload);
}

bool PeaksCache::startOver() {
    std::optional<RawFile> file = RawFile::open(file_, RawFile::Mode::CreateReadWrite);
    if (!file) {
        return false;
    }
    // A foreign or damaged part is cut off before anything new goes after it.
    if (validEnd_ == 0) {
        index_.clear();
        liveBytes_ = deadBytes_ = 0;
        if (!file->truncate(0) || !file->append(kHeader)) {
            return false;
        }
        validEnd_ = kHeader.size();
    } else if (!file->truncate(validEnd_)) {
        return false;
    }
    fileEnd_ = validEnd_;
    return true;
}

bool PeaksCache::store(const QString& path, const FileStamp& stamp, const Peaks& peaks) {
    if ((fileEnd_ != validEnd_ || validEnd_ == 0) && !startOver()) {
        return false;
    }
    const QByteArray payload = payloadOf(path, stamp, peaks);
    QByteArray record = kRecordMagic;
    put<quint32>(record, quint32(payload.size()));
    record += payload;
    put<quint32>(record, checksumOf(payload));
    std::optional<RawFile> file = RawFile::open(file_, RawFile::Mode::ReadWrite);
    if (!file || file->size() != validEnd_ || !file->append(record)) {
        // Whatever part went in is cut off by the next append.
        fileEnd_ = file ? file->size() : fileEnd_ + 1;
        return false;
    }
    if (const auto old = index_.constFind(path); old != index_.cend()) {
        liveBytes_ -= old->bytes;
        deadBytes_ += old->bytes;
    }
    index_.insert(path, Entry{stamp, validEnd_, record.size()});
    liveBytes_ += record.size();
    validEnd_ += record.size();
    fileEnd_ = validEnd_;
    return true;
}

void PeaksCache::compact() {
    const std::optional<RawFile> old = RawFile::open(file_, RawFile::Mode::Read);
    std::optional<RawFile> out =
        old ? RawFile::createTemporary(QFileInfo(file_).absolutePath(), QStringLiteral(".peaks"))
            : std::nullopt;
    if (!out) {
        return;
    }
    bool written = out->append(kHeader);
    for (auto it = index_.cbegin(); written && it != index_.cend(); ++it) {
        if (stampOf(it.key()) == it->stamp) {
            written = out->appendFrom(*old, it->offset, it->bytes);
        }
    }
    if (written && out->sync() && replaceFile(out->path(), file_)) {
        scan();
    } else {
        removeFile(out->path());
    }
}

} // namespace carts

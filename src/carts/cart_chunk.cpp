#include "carts/cart_chunk.h"

#include "carts/raw_file.h"
#include "config/text_file.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <vector>

namespace carts {

namespace {

constexpr std::int64_t kRiffHeaderBytes = 12;
constexpr std::int64_t kChunkHeaderBytes = 8;
constexpr std::size_t kMaxChunks = 4096; // far beyond any real file; bounds a hostile one

// The cart chunk's fixed part; what follows it up to the chunk's end is free tag text.
constexpr qsizetype kCartFixedBytes = 2048;
constexpr qsizetype kTitleAt = 4;
constexpr qsizetype kArtistAt = 68;
constexpr qsizetype kTextBytes = 64;
constexpr qsizetype kTimersAt = 684;
constexpr int kTimerCount = 8;
constexpr qsizetype kTimerBytes = 8;
constexpr auto kNewCartVersion = "0101";

struct TimerCodes {
    std::optional<std::int64_t> Markers::*marker;
    std::array<const char*, 3> codes; // the first is the one written
};

// The codes of each marker in the order they are looked for.
const std::array<TimerCodes, 4> kTimerCodes{{
    {&Markers::cueIn, {"AUDs", nullptr, nullptr}},
    {&Markers::cueOut, {"AUDe", nullptr, nullptr}},
    {&Markers::introEnd, {"INTe", "INT1", "INT "}},
    {&Markers::segueStart, {"SEGs", "SEC1", nullptr}},
}};

struct Timer {
    QByteArray code;
    quint32 frame = 0;
};

struct ChunkSpan {
    QByteArray id;
    std::int64_t offset = 0; // of the header
    std::int64_t size = 0;   // as the header claims
    std::int64_t end = 0;    // after the pad byte, or where the file or RIFF ends first
    std::int64_t bodyOffset() const { return offset + kChunkHeaderBytes; }
    std::int64_t bodyAvailable() const { return std::min(size, end - bodyOffset()); }
    // Cut short by the end of the file: whatever follows it would be read as part of it.
    bool cut() const { return end < bodyOffset() + size + (size & 1); }
};

struct RiffLayout {
    std::int64_t riffEnd = 0; // the chunks lie in [12, riffEnd); anything after is not RIFF's
    std::vector<ChunkSpan> chunks;
    const ChunkSpan* find(const char* id) const {
        for (const ChunkSpan& c : chunks) {
            if (c.id == id) {
                return &c;
            }
        }
        return nullptr;
    }
};

using ByteReader = std::function<QByteArray(std::int64_t offset, std::int64_t length)>;

quint32 u32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

void putU32(QByteArray& bytes, qsizetype at, quint32 value) {
    qToLittleEndian<quint32>(value, bytes.data() + at);
}

bool isWaveHeader(const QByteArray& header) {
    return header.size() == kRiffHeaderBytes && header.startsWith("RIFF") &&
           header.mid(8, 4) == "WAVE";
}

std::optional<RiffLayout> walkRiff(const ByteReader& read, std::int64_t fileSize) {
    const QByteArray header = read(0, kRiffHeaderBytes);
    if (!isWaveHeader(header)) {
        return std::nullopt;
    }
    RiffLayout layout;
    // A RIFF size that claims more than the file holds, or too little to hold anything, is
    // common in files cut short or written as a stream: the file's own end counts then.
    const std::int64_t claimedEnd = kChunkHeaderBytes + std::int64_t{u32At(header, 4)};
    layout.riffEnd = claimedEnd <= kRiffHeaderBytes ? fileSize : std::min(claimedEnd, fileSize);
    std::int64_t offset = kRiffHeaderBytes;
    while (offset + kChunkHeaderBytes <= layout.riffEnd && layout.chunks.size() < kMaxChunks) {
        const QByteArray chunkHeader = read(offset, kChunkHeaderBytes);
        if (chunkHeader.size() < kChunkHeaderBytes) {
            break;
        }
        ChunkSpan chunk{chunkHeader.left(4), offset, std::int64_t{u32At(chunkHeader, 4)}, 0};
        const std::int64_t end = chunk.bodyOffset() + chunk.size + (chunk.size & 1);
        chunk.end = std::min(end, layout.riffEnd);
        layout.chunks.push_back(chunk);
        offset = end;
    }
    return layout;
}

QString textField(const QByteArray& fixed, qsizetype at) {
    QByteArray field = fixed.mid(at, kTextBytes);
    const qsizetype nul = field.indexOf('\0');
    if (nul >= 0) {
        field.truncate(nul);
    }
    return config::decodeText(field).trimmed();
}

std::vector<Timer> timersOf(const QByteArray& fixed) {
    std::vector<Timer> timers;
    for (int i = 0; i < kTimerCount; ++i) {
        const qsizetype at = kTimersAt + i * kTimerBytes;
        if (at + kTimerBytes > fixed.size()) {
            break;
        }
        const QByteArray code = fixed.mid(at, 4);
        // An unused timer has a blank or zero code.
        if (code.trimmed().isEmpty() || code.startsWith('\0')) {
            continue;
        }
        timers.push_back({code, u32At(fixed, at + 4)});
    }
    return timers;
}

bool isOurCode(const QByteArray& code) {
    for (const TimerCodes& kind : kTimerCodes) {
        for (const char* c : kind.codes) {
            if (c && code == c) {
                return true;
            }
        }
    }
    return false;
}

Markers markersOf(const std::vector<Timer>& timers) {
    Markers markers;
    for (const TimerCodes& kind : kTimerCodes) {
        for (const Timer& timer : timers) {
            const bool matches = std::any_of(kind.codes.begin(), kind.codes.end(),
                                             [&](const char* c) { return c && timer.code == c; });
            if (matches) {
                markers.*kind.marker = timer.frame;
                break;
            }
        }
    }
    return markers;
}

CartChunk cartOf(const QByteArray& fixed) {
    return {textField(fixed, kTitleAt), textField(fixed, kArtistAt), markersOf(timersOf(fixed))};
}

std::optional<CartChunk> readCart(const ByteReader& read, std::int64_t fileSize) {
    const std::optional<RiffLayout> layout = walkRiff(read, fileSize);
    const ChunkSpan* cart = layout ? layout->find("cart") : nullptr;
    if (!cart) {
        return std::nullopt;
    }
    const std::int64_t wanted = std::min<std::int64_t>(cart->bodyAvailable(), kCartFixedBytes);
    return cartOf(wanted > 0 ? read(cart->bodyOffset(), wanted) : QByteArray());
}

QString failure(const QString& path, const QString& why) {
    return QStringLiteral("Marcas do Áudio: não foi possível gravar as marcas em %1: %2.")
        .arg(QFileInfo(path).fileName(), why);
}

// The fixed part with its timers replaced: ours first, then the other kinds as they were.
std::optional<QByteArray> withTimers(QByteArray fixed, const Markers& markers, QString& why) {
    std::vector<Timer> timers;
    for (const TimerCodes& kind : kTimerCodes) {
        const std::optional<std::int64_t>& frame = markers.*kind.marker;
        if (!frame) {
            continue;
        }
        if (*frame < 0 || *frame > std::numeric_limits<quint32>::max()) {
            why = QStringLiteral("uma marca está fora do alcance do chunk cart");
            return std::nullopt;
        }
        timers.push_back({kind.codes[0], static_cast<quint32>(*frame)});
    }
    for (const Timer& other : timersOf(fixed)) {
        if (!isOurCode(other.code)) {
            timers.push_back(other);
        }
    }
    if (timers.size() > kTimerCount) {
        why = QStringLiteral("o chunk cart não tem lugar para todos os seus marcadores");
        return std::nullopt;
    }
    for (int i = 0; i < kTimerCount; ++i) {
        const qsizetype at = kTimersAt + i * kTimerBytes;
        const bool used = std::size_t(i) < timers.size();
        fixed.replace(at, 4, used ? timers[std::size_t(i)].code : QByteArray(4, '\0'));
        putU32(fixed, at + 4, used ? timers[std::size_t(i)].frame : 0);
    }
    return fixed;
}

QByteArray chunkHeader(const char* id, std::int64_t size) {
    QByteArray header(id, 4);
    header.resize(kChunkHeaderBytes);
    putU32(header, 4, static_cast<quint32>(size));
    return header;
}

// Writes the new file: the RIFF header, every chunk as it was but the cart chunk (put before
// the audio when there was none), then whatever followed the RIFF data.
class CartRewrite {
public:
    CartRewrite(const RawFile& original, const RiffLayout& layout)
        : original_(original), layout_(layout) {}

    bool write(RawFile& out, const QByteArray& fixed, std::int64_t tagOffset, std::int64_t tagBytes,
               QString& why) {
        const ChunkSpan* existing = layout_.find("cart");
        const ChunkSpan* before = existing ? existing : layout_.find("data");
        if (!before && !layout_.chunks.empty() && layout_.chunks.back().cut()) {
            before = &layout_.chunks.back();
        }
        if (!out.append(original_.readAt(0, kRiffHeaderBytes))) {
            return false;
        }
        std::int64_t copiedTo = kRiffHeaderBytes;
        bool placed = false;
        for (const ChunkSpan& chunk : layout_.chunks) {
            if (&chunk == before) {
                if (!appendCart(out, fixed, tagOffset, tagBytes)) {
                    return false;
                }
                placed = true;
            }
            if (&chunk != existing &&
                !out.appendFrom(original_, chunk.offset, chunk.end - chunk.offset)) {
                return false;
            }
            copiedTo = chunk.end;
        }
        if (!placed && !appendCart(out, fixed, tagOffset, tagBytes)) {
            return false;
        }
        // Bytes too few for a chunk header still belong to the RIFF data; the rest does not.
        if (!out.appendFrom(original_, copiedTo, layout_.riffEnd - copiedTo)) {
            return false;
        }
        const std::int64_t riffSize = out.size() - kChunkHeaderBytes;
        if (riffSize > std::numeric_limits<quint32>::max()) {
            why = QStringLiteral("o arquivo ficaria grande demais para um WAV");
            return false;
        }
        QByteArray size(4, '\0');
        putU32(size, 0, static_cast<quint32>(riffSize));
        return out.writeAt(4, size) &&
               out.appendFrom(original_, layout_.riffEnd, original_.size() - layout_.riffEnd);
    }

private:
    bool appendCart(RawFile& out, const QByteArray& fixed, std::int64_t tagOffset,
                    std::int64_t tagBytes) {
        const std::int64_t size = fixed.size() + tagBytes;
        if (!out.append(chunkHeader("cart", size) + fixed) ||
            !out.appendFrom(original_, tagOffset, tagBytes)) {
            return false;
        }
        return (size & 1) == 0 || out.append(QByteArray(1, '\0'));
    }

    const RawFile& original_;
    const RiffLayout& layout_;
};

} // namespace

std::optional<CartChunk> parseCartChunk(QByteArrayView wavBytes) {
    const ByteReader read = [wavBytes](std::int64_t offset, std::int64_t length) {
        const std::int64_t size = wavBytes.size();
        if (offset >= size) {
            return QByteArray();
        }
        return wavBytes.sliced(offset, std::min(length, size - offset)).toByteArray();
    };
    return readCart(read, wavBytes.size());
}

std::optional<CartChunk> readCartChunk(const QString& path) {
    const std::optional<RawFile> file = RawFile::open(path, RawFile::Mode::Read);
    if (!file) {
        return std::nullopt;
    }
    const ByteReader read = [&file](std::int64_t offset, std::int64_t length) {
        return file->readAt(offset, length);
    };
    return readCart(read, file->size());
}

bool isWaveFile(const QString& path) {
    const std::optional<RawFile> file = RawFile::open(path, RawFile::Mode::Read);
    return file && isWaveHeader(file->readAt(0, kRiffHeaderBytes));
}

std::optional<QString> writeCartMarkers(const QString& path, const Markers& markers) {
    const std::optional<RawFile> original = RawFile::open(path, RawFile::Mode::Read);
    if (!original) {
        return failure(path, QStringLiteral("o arquivo não pode ser aberto"));
    }
    const ByteReader read = [&original](std::int64_t offset, std::int64_t length) {
        return original->readAt(offset, length);
    };
    const std::optional<RiffLayout> layout = walkRiff(read, original->size());
    if (!layout) {
        return failure(path, QStringLiteral("não é um arquivo WAV"));
    }
    const ChunkSpan* existing = layout->find("cart");
    QByteArray fixed;
    std::int64_t tagOffset = 0;
    std::int64_t tagBytes = 0;
    if (existing) {
        const std::int64_t available = existing->bodyAvailable();
        fixed = read(existing->bodyOffset(), std::min<std::int64_t>(available, kCartFixedBytes));
        tagOffset = existing->bodyOffset() + kCartFixedBytes;
        tagBytes = std::max<std::int64_t>(0, available - kCartFixedBytes);
    } else {
        fixed = kNewCartVersion;
    }
    fixed.resize(kCartFixedBytes, '\0');
    QString why = QStringLiteral("erro de escrita no disco");
    const std::optional<QByteArray> newFixed = withTimers(fixed, markers, why);
    if (!newFixed) {
        return failure(path, why);
    }
    const QFileInfo info(path);
    std::optional<RawFile> out =
        RawFile::createTemporary(info.absolutePath(), QLatin1Char('.') + info.fileName());
    if (!out) {
        return failure(path, QStringLiteral("a pasta não aceita arquivos novos"));
    }
    CartRewrite rewrite(*original, *layout);
    const bool written = out->copyModeFrom(*original) &&
                         rewrite.write(*out, *newFixed, tagOffset, tagBytes, why) && out->sync();
    if (!written || !replaceFile(out->path(), path)) {
        removeFile(out->path());
        return failure(path, why);
    }
    return std::nullopt;
}

} // namespace carts

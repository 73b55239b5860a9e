#include "carts/loudness_cache.h"

#include "config/text_file.h"
#include "core/path_bytes.h"

#include <QStringList>

#include <cmath>
#include <limits>

#include <sys/stat.h>

namespace carts {

namespace {

const QString kHeader = QStringLiteral("BANDORA-LOUDNESS 1");
constexpr int kFields = 5;

QString decibelText(double value) {
    return std::isfinite(value) ? QString::number(value, 'f', 2) : QStringLiteral("-inf");
}

std::optional<double> decibelOf(const QString& text) {
    if (text == u"-inf") {
        return -std::numeric_limits<double>::infinity();
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<qint64> wholeOf(const QString& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

QString pathField(const QString& path) {
    return QString::fromLatin1(core::encodePathBytes(path).toPercentEncoding());
}

QString pathOfField(const QString& field) {
    return core::decodePathBytes(QByteArray::fromPercentEncoding(field.toLatin1()));
}

} // namespace

std::optional<FileStamp> stampOf(const QString& path) {
    struct stat info {};
    if (::stat(core::encodePathBytes(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{static_cast<qint64>(info.st_size),
                     static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 +
                         static_cast<qint64>(info.st_mtim.tv_nsec)};
}

LoudnessCache LoudnessCache::read(const QString& file) {
    LoudnessCache cache;
    const std::optional<QStringList> lines = config::readTextLines(file);
    if (!lines || lines->isEmpty() || lines->first() != kHeader) {
        return cache;
    }
    for (qsizetype i = 1; i < lines->size(); ++i) {
        cache.readLine(lines->at(i));
    }
    return cache;
}

void LoudnessCache::readLine(const QString& line) {
    const QStringList fields = line.split(u'\t');
    if (fields.size() != kFields) {
        return;
    }
    const std::optional<qint64> size = wholeOf(fields[0]);
    const std::optional<qint64> modified = wholeOf(fields[1]);
    const std::optional<double> lufs = decibelOf(fields[2]);
    const std::optional<double> peak = decibelOf(fields[3]);
    const QString path = pathOfField(fields[4]);
    if (!size || !modified || !lufs || !peak || path.isEmpty()) {
        return;
    }
    entries_.insert(path, Entry{{*size, *modified}, {*lufs, *peak}});
}

bool LoudnessCache::write(const QString& file) const {
    QStringList lines{kHeader};
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (!stampOf(it.key())) {
            continue;
        }
        const Entry& e = it.value();
        lines.append(QStringList{QString::number(e.stamp.size), QString::number(e.stamp.modifiedNs),
                                 decibelText(e.loudness.integratedLufs),
                                 decibelText(e.loudness.truePeakDbtp), pathField(it.key())}
                         .join(u'\t'));
    }
    return config::writeTextLines(file, lines);
}

std::optional<audio::Loudness> LoudnessCache::find(const QString& path,
                                                   const FileStamp& stamp) const {
    const auto it = entries_.constFind(path);
    if (it == entries_.cend() || it->stamp != stamp) {
        return std::nullopt;
    }
    return it->loudness;
}

void LoudnessCache::store(const QString& path, const FileStamp& stamp,
                          const audio::Loudness& loudness) {
    entries_.insert(path, Entry{stamp, loudness});
}

} // namespace carts

#include "carts/marker_store.h"

#include "carts/cart_chunk.h"
#include "core/path_bytes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>

namespace carts {

namespace {

const QByteArray kHeader = QByteArrayLiteral("BANDORA-MARKS 1");
constexpr qsizetype kFields = 6; // length, cue-in, cue-out, intro end, segue start, path
const QString kNone = QStringLiteral("-");

constexpr std::array<std::optional<std::int64_t> Markers::*, 4> kMarkerFields{
    &Markers::cueIn, &Markers::cueOut, &Markers::introEnd, &Markers::segueStart};

QString frameField(const std::optional<std::int64_t>& frame) {
    return frame ? QString::number(*frame) : kNone;
}

// nullopt: not a field; an empty optional inside: the field says "none".
std::optional<std::optional<std::int64_t>> frameOf(const QString& field) {
    if (field == kNone) {
        return std::make_optional(std::optional<std::int64_t>());
    }
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    if (!ok || value < 0) {
        return std::nullopt;
    }
    return std::make_optional(std::optional<std::int64_t>(value));
}

// The path as readable UTF-8, with "%XX" only for what would break the line: '%' itself,
// control characters and the bytes of a name that is not UTF-8.
QString pathField(const QString& path) {
    QString field;
    const QByteArray bytes = core::encodePathBytes(path);
    const QString decoded = core::decodePathBytes(bytes);
    for (const QChar c : decoded) {
        const char16_t u = c.unicode();
        if (u == u'%' || u < 0x20 || u == 0x7f) {
            field += QStringLiteral("%%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
        } else if (u >= 0xdc80 && u <= 0xdcff) {
            field += QStringLiteral("%%1").arg(int(u - 0xdc00), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            field += c;
        }
    }
    return field;
}

QString pathOfField(const QString& field) {
    return core::decodePathBytes(QByteArray::fromPercentEncoding(field.toUtf8()));
}

bool ordered(const Markers& m) {
    return !m.cueIn || !m.cueOut || *m.cueIn < *m.cueOut;
}

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

QString MarkerStore::load(const QString& programDir) {
    file_ = QDir(programDir).filePath(QString::fromLatin1(kMarkersFile));
    entries_.clear();
    unplaced_.clear();
    QFile in(file_);
    if (!in.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<QByteArray> damaged;
    for (QByteArray line : in.readAll().split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.isEmpty() || line == kHeader) {
            continue;
        }
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString text = utf8.decode(line);
        const QStringList fields = text.split(u'\t');
        Entry entry;
        bool readable = !utf8.hasError() && fields.size() == kFields;
        for (qsizetype i = 0; readable && i < kFields - 1; ++i) {
            const auto frame = frameOf(fields[i]);
            readable = frame.has_value();
            if (!readable) {
                break;
            }
            if (i == 0) {
                entry.lengthFrames = *frame;
            } else {
                entry.markers.*kMarkerFields[std::size_t(i - 1)] = *frame;
            }
        }
        const QString path = readable ? pathOfField(fields.last()) : QString();
        if (!readable || path.isEmpty() || !ordered(entry.markers)) {
            damaged.append(line);
        } else if (!entry.markers.empty()) {
            entries_.insert(path, entry);
        }
    }
    return damaged.isEmpty() ? QString() : setAside(damaged);
}

QString MarkerStore::setAside(const QList<QByteArray>& damaged) {
    const QFileInfo info(file_);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = info.dir().filePath(QStringLiteral("bandoramarks.damaged-%1.ini").arg(stamp));
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside =
            info.dir().filePath(QStringLiteral("bandoramarks.damaged-%1-%2.ini").arg(stamp).arg(n));
    }
    QSaveFile out(aside);
    const bool written =
        out.open(QIODevice::WriteOnly) && out.write(damaged.join('\n') + '\n') >= 0 && out.commit();
    if (!written) {
        // Kept in the markers file as they were until a side file can take them.
        unplaced_ = damaged;
        return QStringLiteral("Marcas do Áudio: %1 linha(s) de %2 não puderam ser lidas e "
                              "ficam no arquivo como estão (não foi possível criar %3).")
            .arg(damaged.size())
            .arg(QString::fromLatin1(kMarkersFile), QFileInfo(aside).fileName());
    }
    const QString saveError = save();
    const QString message =
        QStringLiteral("Marcas do Áudio: %1 linha(s) de %2 não puderam ser "
                       "lidas e foram guardadas em %3.")
            .arg(damaged.size())
            .arg(QString::fromLatin1(kMarkersFile), QFileInfo(aside).fileName());
    return saveError.isEmpty() ? message : message + u'\n' + saveError;
}

std::optional<Markers> MarkerStore::markersFor(const QString& path) const {
    const auto it = entries_.constFind(path);
    return it == entries_.cend() ? std::nullopt : std::optional<Markers>(it->markers);
}

EffectiveMarkers MarkerStore::effectiveMarkers(const QString& path) const {
    if (const std::optional<Markers> own = markersFor(path)) {
        return {*own, MarkersSource::Operator};
    }
    if (const std::optional<CartChunk> cart = readCartChunk(path); cart && !cart->markers.empty()) {
        return {cart->markers, MarkersSource::CartChunk};
    }
    return {};
}

QString MarkerStore::set(const QString& path, const Markers& markers,
                         std::optional<std::int64_t> lengthFrames) {
    if (markers.empty()) {
        return clear(path);
    }
    entries_.insert(path, Entry{markers, lengthFrames});
    return save();
}

QString MarkerStore::clear(const QString& path) {
    return entries_.remove(path) > 0 ? save() : QString();
}

QString MarkerStore::reconcile(const QString& path, std::int64_t lengthFrames) {
    const auto it = entries_.find(path);
    if (it == entries_.end() || it->lengthFrames == lengthFrames) {
        return {};
    }
    const bool lengthWasKnown = it->lengthFrames.has_value();
    int dropped = 0;
    for (const auto field : kMarkerFields) {
        std::optional<std::int64_t>& frame = it->markers.*field;
        if (frame && *frame > lengthFrames) {
            frame.reset();
            ++dropped;
        }
    }
    it->lengthFrames = lengthFrames;
    if (it->markers.empty()) {
        entries_.erase(it);
    }
    const QString saveError = save();
    if (!lengthWasKnown && dropped == 0) {
        return saveError;
    }
    const QString message =
        dropped == 0
            ? QStringLiteral("Marcas do Áudio: a duração de %1 mudou; as marcas foram mantidas.")
                  .arg(fileNameOf(path))
            : QStringLiteral("Marcas do Áudio: a duração de %1 mudou; %2 marca(s) além do novo "
                             "fim foram removidas.")
                  .arg(fileNameOf(path))
                  .arg(dropped);
    return saveError.isEmpty() ? message : message + u'\n' + saveError;
}

QString MarkerStore::save() {
    QByteArray text = kHeader + '\n';
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        QStringList fields{frameField(it->lengthFrames)};
        for (const auto field : kMarkerFields) {
            fields.append(frameField(it->markers.*field));
        }
        fields.append(pathField(it.key()));
        text += fields.join(u'\t').toUtf8() + '\n';
    }
    for (const QByteArray& line : unplaced_) {
        text += line + '\n';
    }
    QSaveFile out(file_);
    if (file_.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(text) < 0 ||
        !out.commit()) {
        return QStringLiteral("Marcas do Áudio: não foi possível gravar %1; as últimas marcas "
                              "valem só até o programa fechar.")
            .arg(QString::fromLatin1(kMarkersFile));
    }
    return {};
}

} // namespace carts

#include "config/ext_settings.h"

#include "config/settings_lines.h"
#include "config/text_file.h"
#include "core/windows1252.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <array>
#include <optional>

namespace config {

namespace {

// The keys this file's writer owns, in the order a new file lists them.
constexpr std::array<const char*, 7> kOwnKeys = {
    "LOUDNESS", "LOUDNESS_TARGET", "JACK_TRA", "JACK_CUE", "AVISO_FIM", "OSC_PORT", "OSC_HOSTS"};
using OwnLines = std::array<QString, kOwnKeys.size()>; // empty: the key has no line

QStringList portsOf(const QString& value) {
    const QStringList ports = value.split(u',');
    const bool pair = ports.size() == 2 && !ports[0].isEmpty() && !ports[1].isEmpty();
    return pair ? ports : QStringList{};
}

OwnLines ownLines(const ExtSettings& s) {
    const auto jackLine = [](const char* key, const QStringList& ports) {
        return ports.size() == 2 ? QString::fromLatin1(key) + u'=' + ports.join(u',') : QString();
    };
    return {QStringLiteral("LOUDNESS=") + (s.loudness ? u'1' : u'0'),
            QStringLiteral("LOUDNESS_TARGET=") + QString::number(s.loudnessTarget),
            jackLine(kOwnKeys[2], s.jackOutputPorts),
            jackLine(kOwnKeys[3], s.jackCuePorts),
            QStringLiteral("AVISO_FIM=") + QString::number(s.endWarningSeconds),
            QStringLiteral("OSC_PORT=") + QString::number(s.oscPort),
            s.oscHosts.isEmpty() ? QString() : QStringLiteral("OSC_HOSTS=") + s.oscHosts.join(u',')};
}

// The line of one of our keys, found as readers find a key: "KEY=" anywhere in the line.
std::optional<std::size_t> ownKeyOf(const QByteArray& line) {
    for (std::size_t k = 0; k < kOwnKeys.size(); ++k) {
        if (line.contains(QByteArray(kOwnKeys[k]) + '=')) {
            return k;
        }
    }
    return std::nullopt;
}

// The file's lines as bytes, without their line ends (CR, LF or CRLF).
QList<QByteArray> rawLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            continue;
        }
        lines.append(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        lines.append(bytes.mid(start));
    }
    return lines;
}

// Our lines in place of the old ones of their keys, the others as they were; a line per slot,
// null where our line goes.
struct Merged {
    QList<QByteArray> lines;
    QList<qsizetype> ownAt;
    QList<std::size_t> ownKey;
};

Merged merge(const QList<QByteArray>& old, const OwnLines& own) {
    Merged m;
    std::array<bool, kOwnKeys.size()> placed{};
    const auto place = [&](std::size_t k) {
        placed[k] = true;
        if (!own[k].isEmpty()) {
            m.ownAt.append(m.lines.size());
            m.ownKey.append(k);
            m.lines.append(QByteArray());
        }
    };
    for (const QByteArray& line : old) {
        const std::optional<std::size_t> k = ownKeyOf(line);
        if (!k) {
            m.lines.append(line);
        } else if (!placed[*k]) {
            place(*k);
        }
    }
    for (std::size_t k = 0; k < kOwnKeys.size(); ++k) {
        if (!placed[k]) {
            place(k);
        }
    }
    return m;
}

QByteArray join(const QList<QByteArray>& lines) {
    QByteArray bytes;
    for (const QByteArray& line : lines) {
        bytes += line + "\r\n";
    }
    return bytes;
}

// The file with our lines in one encoding. Right when a reader gets our lines back from it.
QByteArray compose(Merged m, const OwnLines& own, bool utf8) {
    for (qsizetype i = 0; i < m.ownAt.size(); ++i) {
        const QString& text = own[m.ownKey[i]];
        m.lines[m.ownAt[i]] = utf8 ? text.toUtf8() : core::toWindows1252(text).value_or("?");
    }
    return join(m.lines);
}

bool readsBack(const QByteArray& bytes, const Merged& m, const OwnLines& own) {
    const QStringList lines = splitLines(decodeText(bytes));
    for (qsizetype i = 0; i < m.ownAt.size(); ++i) {
        if (lines.value(m.ownAt[i]) != own[m.ownKey[i]]) {
            return false;
        }
    }
    return true;
}

// The other lines keep their bytes when our lines can be written in an encoding that reads
// back with them. Only Windows-1252 foreign lines beside a port name that Windows-1252 lacks
// cannot: then the whole file goes to UTF-8, every character kept.
QByteArray fileBytes(const QByteArray& old, const OwnLines& own) {
    const Merged m = merge(rawLines(old), own);
    for (const bool utf8 : {false, true}) {
        const QByteArray bytes = compose(m, own, utf8);
        if (readsBack(bytes, m, own)) {
            return bytes;
        }
    }
    QStringList text;
    for (qsizetype i = 0, o = 0; i < m.lines.size(); ++i) {
        const bool ours = o < m.ownAt.size() && m.ownAt[o] == i;
        text.append(ours ? own[m.ownKey[o++]] : decodeText(m.lines[i]));
    }
    return join({text.join(QStringLiteral("\r\n")).toUtf8()});
}

// Empty when the file is there but cannot be read: writing then would lose the others' lines.
std::optional<QByteArray> currentBytes(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return QByteArray();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

// Through a temporary file, as writeTextLines does.
bool saveBytes(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

ExtSettings readExtSettings(const QString& programDir) {
    const QStringList lines =
        readTextLines(QDir(programDir).filePath(kExtSettingsFile)).value_or(QStringList{});
    const ExtSettings defaults;
    ExtSettings s;
    s.loudness =
        wholeSetting(lines, QStringLiteral("LOUDNESS"), 0, 1, defaults.loudness ? 1 : 0) == 1;
    s.loudnessTarget =
        wholeSetting(lines, QStringLiteral("LOUDNESS_TARGET"), ExtSettings::kMinLoudnessTarget,
                     ExtSettings::kMaxLoudnessTarget, defaults.loudnessTarget);
    s.jackOutputPorts = portsOf(settingValue(lines, QStringLiteral("JACK_TRA"), QString()));
    s.jackCuePorts = portsOf(settingValue(lines, QStringLiteral("JACK_CUE"), QString()));
    s.endWarningSeconds = wholeSetting(lines, QStringLiteral("AVISO_FIM"), 0,
                                       ExtSettings::kMaxEndWarning, defaults.endWarningSeconds);
    s.oscPort = wholeSetting(lines, QStringLiteral("OSC_PORT"), 0, 65535, defaults.oscPort);
    for (const QString& host :
         settingValue(lines, QStringLiteral("OSC_HOSTS"), QString()).split(u',')) {
        if (!host.trimmed().isEmpty()) {
            s.oscHosts.append(host.trimmed());
        }
    }
    return s;
}

bool writeExtSettings(const QString& programDir, const ExtSettings& settings) {
    const QString path = QDir(programDir).filePath(kExtSettingsFile);
    const std::optional<QByteArray> old = currentBytes(path);
    return old && saveBytes(path, fileBytes(*old, ownLines(settings)));
}

} // namespace config

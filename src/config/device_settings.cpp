#include "config/device_settings.h"

#include "config/settings_lines.h"
#include "config/text_file.h"
#include "core/text_helpers.h"

#include <QDir>
#include <limits>

namespace config {

namespace {

template <typename T> T readSetting(const QStringList& lines, const QString& key, T fallback) {
    return static_cast<T>(wholeSetting(lines, key, std::numeric_limits<T>::min(),
                                       std::numeric_limits<T>::max(), fallback));
}

} // namespace

DeviceSettings readDeviceSettings(const QString& programDir) {
    const QStringList lines =
        readTextLines(QDir(programDir).filePath(kDeviceSettingsFile)).value_or(QStringList{});
    const DeviceSettings defaults;
    DeviceSettings s;
    s.bufferMs = readSetting(lines, QStringLiteral("TAMBR"), defaults.bufferMs);
    s.outputDevice = readSetting(lines, QStringLiteral("DVTRA"), defaults.outputDevice);
    s.cueDevice = readSetting(lines, QStringLiteral("DVCUE"), defaults.cueDevice);
    s.mixLeadMs = readSetting(lines, QStringLiteral("MIXAGEM"), defaults.mixLeadMs);
    s.fadeMs = readSetting(lines, QStringLiteral("FADE"), defaults.fadeMs);
    return s;
}

bool writeDeviceSettings(const QString& programDir, const DeviceSettings& settings) {
    const QStringList lines = {
        // Two banner lines naming the program; no key is looked up in them.
        QStringLiteral("Bandora - Quallon Cartucheira Digital 4.0-PRO"),
        QStringLiteral("Devices de som, buffer, mixagem e fade"),
        QStringLiteral("TAMBR=") + core::zeroPad(QString::number(settings.bufferMs), 4),
        QStringLiteral("DVTRA=") + QString::number(settings.outputDevice),
        QStringLiteral("DVCUE=") + QString::number(settings.cueDevice),
        QStringLiteral("MIXAGEM=") + QString::number(settings.mixLeadMs),
        QStringLiteral("FADE=") + QString::number(settings.fadeMs),
    };
    return writeTextLines(QDir(programDir).filePath(kDeviceSettingsFile), lines);
}

} // namespace config

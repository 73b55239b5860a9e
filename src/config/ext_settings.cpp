#include "config/ext_settings.h"

#include "config/settings_lines.h"
#include "config/text_file.h"

#include <QDir>

namespace config {

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
    return s;
}

bool writeExtSettings(const QString& programDir, const ExtSettings& settings) {
    const QStringList lines = {
        QStringLiteral("LOUDNESS=") +
            (settings.loudness ? QStringLiteral("1") : QStringLiteral("0")),
        QStringLiteral("LOUDNESS_TARGET=") + QString::number(settings.loudnessTarget),
    };
    return writeTextLines(QDir(programDir).filePath(kExtSettingsFile), lines);
}

} // namespace config

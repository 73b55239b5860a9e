#include "config/window_settings.h"

#include "config/settings_lines.h"
#include "config/text_file.h"
#include "core/text_helpers.h"

#include <QDir>
#include <algorithm>

namespace config {

namespace {

QString filePath(const QString& programDir) {
    return QDir(programDir).filePath(kWindowSettingsFile);
}

bool readFlag(const QStringList& lines, const QString& key) {
    return core::toWholeNumber(settingValue(lines, key, QStringLiteral("1"))) == 1;
}

int readVolume(const QStringList& lines) {
    const auto volume = core::toWholeNumber(settingValue(lines, QStringLiteral("VOLUME"), "100"));
    return volume ? std::clamp(*volume, 0, 100) : 100;
}

QString flagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

bool WindowSettings::read(const QString& programDir) {
    const auto lines = readTextLines(filePath(programDir));
    if (!lines)
        return false;
    volume = readVolume(*lines);
    autoFade = readFlag(*lines, QStringLiteral("AUTO_FADE"));
    autoMix = readFlag(*lines, QStringLiteral("AUTO_MIX"));
    return true;
}

bool WindowSettings::write(const QString& programDir) const {
    const QStringList lines = {
        QStringLiteral("VOLUME=") + QString::number(volume),
        QStringLiteral("AUTO_FADE=") + flagText(autoFade),
        QStringLiteral("AUTO_MIX=") + flagText(autoMix),
    };
    return writeTextLines(filePath(programDir), lines);
}

} // namespace config

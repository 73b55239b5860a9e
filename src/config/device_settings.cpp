#include "config/device_settings.h"

#include "config/funcoes.h"
#include "config/text_file.h"

#include <QDir>
#include <limits>

namespace config {

namespace {

template <typename T> T readSetting(const QStringList& lines, const QString& key, T fallback) {
    const auto value = toWholeNumber(LeParametro(lines, key, QString::number(fallback)));
    if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max())
        return fallback;
    return static_cast<T>(*value);
}

} // namespace

DeviceSettings CarregaConfig(const QString& programDir) {
    const QStringList lines =
        readTextLines(QDir(programDir).filePath(kDeviceSettingsFile)).value_or(QStringList{});
    const DeviceSettings defaults;
    DeviceSettings s;
    s.TAMBR = readSetting(lines, QStringLiteral("TAMBR"), defaults.TAMBR);
    s.DVTRA = readSetting(lines, QStringLiteral("DVTRA"), defaults.DVTRA);
    s.DVCUE = readSetting(lines, QStringLiteral("DVCUE"), defaults.DVCUE);
    s.MIXAGEM = readSetting(lines, QStringLiteral("MIXAGEM"), defaults.MIXAGEM);
    s.FADE = readSetting(lines, QStringLiteral("FADE"), defaults.FADE);
    return s;
}

bool GravaConfig(const QString& programDir, const DeviceSettings& settings) {
    const QStringList lines = {
        QStringLiteral("Quallon Sistemas"),
        QStringLiteral("Brasil"),
        QStringLiteral("TAMBR=") + PreencheZeros(QString::number(settings.TAMBR), 4),
        QStringLiteral("DVTRA=") + QString::number(settings.DVTRA),
        QStringLiteral("DVCUE=") + QString::number(settings.DVCUE),
        QStringLiteral("MIXAGEM=") + QString::number(settings.MIXAGEM),
        QStringLiteral("FADE=") + QString::number(settings.FADE),
    };
    return writeTextLines(QDir(programDir).filePath(kDeviceSettingsFile), lines);
}

} // namespace config

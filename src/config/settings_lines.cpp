#include "config/settings_lines.h"
#include "core/text_helpers.h"

namespace config {

QString settingValue(const QStringList& lines, const QString& key, const QString& fallback) {
    constexpr qsizetype kMaxValue = 255;
    const QString marker = key + u'=';
    for (const QString& line : lines) {
        if (line.contains(marker))
            return core::leftChars(line.mid(line.indexOf(u'=') + 1), kMaxValue);
    }
    return fallback;
}

int wholeSetting(const QStringList& lines, const QString& key, int minimum, int maximum,
                 int fallback) {
    const auto value = core::toWholeNumber(settingValue(lines, key, QString()));
    return value && *value >= minimum && *value <= maximum ? *value : fallback;
}

} // namespace config

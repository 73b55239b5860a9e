#pragma once
// Key lookup in the KEY=value lines of the settings files.
#include <QString>
#include <QStringList>

namespace config {

// The value of the first line that contains `key` + "=" anywhere (case-sensitive): the text
// after that line's first "=", unchanged, at most 255 characters. Else `fallback`.
QString settingValue(const QStringList& lines, const QString& key, const QString& fallback);

// The value of `key` when it is a whole number in minimum..maximum, else `fallback`.
int wholeSetting(const QStringList& lines, const QString& key, int minimum, int maximum,
                 int fallback);

} // namespace config

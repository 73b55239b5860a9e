#pragma once
// The single-byte code page that Windows-written settings and profiles use.
#include <QByteArray>
#include <QString>
#include <optional>

namespace core {

// Every byte has a character: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same value, as Windows itself decodes them.
QString fromWindows1252(QByteArrayView bytes);

// Empty when some character has no Windows-1252 byte.
std::optional<QByteArray> toWindows1252(QStringView text);

} // namespace core

#pragma once
// Small text routines shared by settings, carts and the player: file names, zero filling and
// the strict whole-number reading.
#include <QString>
#include <optional>

namespace core {

// The part after the last "\" or "/" (profiles written on Windows carry backslashes); with no
// separator, the part after a drive colon ("D:SONG.WAV"); else the whole path. Not trimmed; a
// blank path gives an empty text.
QString fileNameOf(const QString& path);

// Leading blanks removed, then "0" in front up to `width`; never cut ("7",3 -> "007").
QString zeroPad(const QString& text, int width);

// Strict whole number: an optional sign and decimal digits, nothing else (no blanks), fitting
// a signed 32-bit value.
std::optional<qint32> toWholeNumber(QStringView text);

// At most `count` characters of `text`, never splitting a surrogate pair.
QString leftChars(const QString& text, qsizetype count);

} // namespace core

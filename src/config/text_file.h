#pragma once
// Reading and writing the line-based text files of the program (settings and profiles).
//
// Files are read leniently: CR, LF or CRLF line ends; UTF-8 when the bytes are valid UTF-8 and
// contain non-ASCII bytes, else Windows-1252. They are written with CRLF after every line, in
// Windows-1252 when that keeps every character, else in UTF-8.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace config {

QString decodeText(const QByteArray& bytes);
QByteArray encodeText(const QString& text);

// Lines as a Windows text list sees them: a final line end adds no empty line.
QStringList splitLines(const QString& text);

// Empty when the file does not exist or cannot be read.
std::optional<QStringList> readTextLines(const QString& path);

// Replaces the file as a whole through a temporary file in the same folder, so a crash or a
// full disk leaves either the old file or the new one. False when anything failed.
bool writeTextLines(const QString& path, const QStringList& lines);

} // namespace config

#pragma once
// File writes that survive a crash or a power cut: what they return true for is on disk.
#include <QByteArray>
#include <QString>

namespace safety {

// The whole file replaced at once (temporary file, fsync, rename): a reader finds either the
// old or the new content, never a mix.
bool replaceFile(const QString& path, const QByteArray& content);

// Appended and fsync'd. A new file starts with `header` first.
bool appendToFile(const QString& path, const QByteArray& header, const QByteArray& content);

} // namespace safety

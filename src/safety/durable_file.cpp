#include "safety/durable_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace safety {

namespace {

// The rename itself is only durable once the folder's entry is on disk.
void syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool replaceFile(const QString& path, const QByteArray& content) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    // commit() flushes and fsyncs the temporary file before it renames it over `path`. The
    // folder is not synced as well: that would double the wait on a busy disk, and a rename
    // lost to a power cut leaves the previous whole version, never a broken one.
    return file.commit();
}

bool appendToFile(const QString& path, const QByteArray& header, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const qint64 before = file.size();
    const bool isNew = before == 0;
    const QByteArray bytes = isNew ? header + content : content;
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        // A short write would leave half a row: cut the file back to what it held.
        file.resize(before);
        return false;
    }
    if (isNew) {
        syncFolderOf(path);
    }
    return true;
}

} // namespace safety

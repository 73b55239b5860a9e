#include "carts/profile_folder.h"

#include "carts/profile_format.h"
#include "config/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace carts {

namespace {

const QString kExtension = QStringLiteral(".PFL");
// Far beyond any real wall (96 lines of paths); a larger file is read only this far, so a
// stray huge file picked from the list cannot stall the wall.
constexpr qint64 kMaxProfileBytes = 8 * 1024 * 1024;

bool lessIgnoringCase(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

} // namespace

bool ProfileFolder::isValidName(const QString& name) {
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && trimmed != u"." && trimmed != u".." && !name.contains(u'/') &&
           !name.contains(u'\\');
}

QStringList ProfileFolder::names() const {
    QStringList files = QDir(folder_).entryList({QStringLiteral("*") + kExtension},
                                                QDir::Files | QDir::Readable, QDir::NoSort);
    std::sort(files.begin(), files.end(), lessIgnoringCase);
    QStringList names;
    names.reserve(files.size());
    for (const QString& file : std::as_const(files)) {
        names.append(file.left(file.size() - kExtension.size()));
    }
    return names;
}

QString ProfileFolder::filePath(const QString& name) const {
    const QDir dir(folder_);
    const QString wanted = name + kExtension;
    if (QFileInfo(dir.filePath(wanted)).isFile()) {
        return dir.filePath(wanted);
    }
    const QStringList files = dir.entryList({QStringLiteral("*") + kExtension}, QDir::Files);
    for (const QString& file : files) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir.filePath(file);
        }
    }
    return dir.filePath(wanted);
}

bool ProfileFolder::exists(const QString& name) const {
    return QFileInfo(filePath(name)).isFile();
}

std::optional<CartTable> ProfileFolder::read(const QString& name) const {
    QFile file(filePath(name));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxProfileBytes);
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    const auto fileExists = [](const QString& path) { return QFileInfo(path).isFile(); };
    return readProfileLines(config::splitLines(config::decodeText(bytes)), fileExists);
}

bool ProfileFolder::write(const QString& name, const QStringList& lines) const {
    return config::writeTextLines(filePath(name), lines);
}

bool ProfileFolder::remove(const QString& name) const {
    return QFile::remove(filePath(name));
}

} // namespace carts

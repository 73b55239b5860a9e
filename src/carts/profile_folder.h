#pragma once
// The profiles of the program folder: "NAME.PFL" files beside the executable, whatever the
// working directory. A profile name is a file name, never a path. Files are matched to names
// without regard to case, as the list shows "show.pfl" as "show", so loading, saving and
// deleting "show" all reach that same file.
#include "carts/cart_table.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace carts {

class ProfileFolder {
public:
    explicit ProfileFolder(QString folder) : folder_(std::move(folder)) {}

    // Not empty after trimming, no "/" or "\", not "." or "..".
    static bool isValidName(const QString& name);

    // The names of the profile files (their names minus the last four characters), sorted
    // without regard to case.
    QStringList names() const;

    bool exists(const QString& name) const;
    // nullopt when the file cannot be read at all; a damaged file gives what it holds.
    std::optional<CartTable> read(const QString& name) const;
    // Replaces the file as a whole (see config::writeTextLines); false when that failed, and
    // then the old file is as it was.
    bool write(const QString& name, const QStringList& lines) const;
    bool remove(const QString& name) const;

    // The file of a profile: the existing one whose name matches without regard to case, else
    // NAME.PFL in the folder.
    QString filePath(const QString& name) const;

private:
    QString folder_;
};

} // namespace carts

#pragma once
// A folder tree in a temporary folder for scanner tests, built from relative paths given as
// bytes (so names that are not UTF-8 can be made), plus the Qt event loop the asynchronous
// cases need.
#include "search/file_scanner.h"
#include "core/path_bytes.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace search::test {

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "file_scanner_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives until the process ends
}

class TestTree {
public:
    TestTree() { EXPECT_TRUE(dir_.isValid()); }
    // Removes the tree by bytes: Qt's own removal cannot name files that are not UTF-8.
    ~TestTree() {
        const auto remove = [](const char* path, const struct stat*, int, FTW*) {
            ::remove(path);
            return 0; // go on with the rest
        };
        ::nftw(bytes("").constData(), remove, 16, FTW_DEPTH | FTW_PHYS);
    }

    // The root with its trailing '/', as the scanner takes it.
    QString root() const { return dir_.path() + u'/'; }
    QString path(const QByteArray& relative) const { return root() + core::decodePathBytes(relative); }

    // Creates the file and every folder above it.
    void file(const QByteArray& relative) {
        const qsizetype slash = relative.lastIndexOf('/');
        if (slash > 0)
            folder(relative.left(slash));
        const int fd = ::open(bytes(relative).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << relative.constData();
        ::close(fd);
    }

    void folder(const QByteArray& relative) {
        QByteArray partial;
        for (const QByteArray& part : relative.split('/')) {
            partial += part;
            ::mkdir(bytes(partial).constData(), 0755);
            partial += '/';
        }
    }

    QByteArray bytes(const QByteArray& relative) const {
        return core::encodePathBytes(root()) + relative;
    }

private:
    QTemporaryDir dir_;
};

} // namespace search::test

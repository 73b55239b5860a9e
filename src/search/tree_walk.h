#pragma once
// One synchronous walk of a folder tree that tests every mask on every entry: the same entries,
// order and events as one complete walk per mask, for the price of a single walk.
#include <QLocale>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace search {

struct ScanRequest {
    QString root;       // the folder to walk; a missing trailing '/' is added
    QStringList filter; // one mask per line; only the part after the last '/', '\' or ':'
    bool subDirectories = true;
    QLocale locale; // collation of the result
};

// Called once per mask that an entry matches, with the entry's full path, in walk order.
using FoundCallback = std::function<void(const QString& path)>;

// Walks the tree and returns the sorted, duplicate-free paths of the entries whose names match
// a mask (files and folders alike). Folders that cannot be read are skipped. Symbolic links to
// folders are followed unless they lead back to a folder the walk is inside. Returns early with
// an empty list once *cancelled becomes true (checked before every entry).
QStringList scanTree(const ScanRequest& request, const FoundCallback& found,
                     const std::atomic<bool>* cancelled = nullptr);

} // namespace search

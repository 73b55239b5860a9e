#pragma once
// The order and the duplicate rule of a scan result: full paths sorted case-insensitively in
// the locale's collation, two paths that differ only in letter case counting as one.
#include <QLocale>
#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

namespace search {

struct FoundPath {
    QString path;
    int firstMask = 0; // index of the first mask that took it; earlier masks win duplicates
};

// Sorts the paths found by a walk (given in walk order) and drops duplicates, keeping the path
// that per-mask walks in mask order would have added first. Paths that collate equal without
// differing only in case (a name with ignorable characters, or with bytes that are not UTF-8)
// stay apart, in case-insensitive code-point order. An empty list when cancelled.
QStringList sortedWithoutDuplicates(std::vector<FoundPath> found, const QLocale& locale,
                                    const std::atomic<bool>* cancelled = nullptr);

} // namespace search

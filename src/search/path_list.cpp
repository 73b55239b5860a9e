#include "search/path_list.h"

#include <QCollator>

#include <algorithm>
#include <numeric>

namespace search {

namespace {

bool isCancelled(const std::atomic<bool>* cancelled) {
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

// Length of the folder part that every path shares: equal leading text does not change how two
// texts collate, and the keys of the rest are much cheaper to make.
qsizetype sharedFolderLength(const std::vector<FoundPath>& found) {
    if (found.empty())
        return 0;
    QStringView shared = found.front().path;
    for (const FoundPath& entry : found) {
        const qsizetype limit = std::min(shared.size(), entry.path.size());
        qsizetype i = 0;
        while (i < limit && shared[i] == entry.path[i])
            ++i;
        shared.truncate(i);
    }
    return shared.lastIndexOf(u'/') + 1;
}

// The tie-breaks after the collation key: case-insensitive code-point order keeps apart paths
// that collate equal without being the same name; among the same name in other letter case the
// one an earlier mask found, or else the one found earlier, comes first and is kept.
template <typename Keys>
std::vector<int> sortedOrder(const std::vector<FoundPath>& found, const Keys& keys) {
    std::vector<int> order(found.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        if (const int byKey = keys[a].compare(keys[b]); byKey != 0)
            return byKey < 0;
        const int byName = QString::compare(found[a].path, found[b].path, Qt::CaseInsensitive);
        if (byName != 0)
            return byName < 0;
        if (found[a].firstMask != found[b].firstMask)
            return found[a].firstMask < found[b].firstMask;
        return a < b;
    });
    return order;
}

QStringList withoutDuplicates(std::vector<FoundPath>& found, const std::vector<int>& order) {
    QStringList result;
    result.reserve(qsizetype(order.size()));
    for (int index : order) {
        QString& path = found[index].path;
        if (!result.isEmpty() && QString::compare(result.back(), path, Qt::CaseInsensitive) == 0)
            continue;
        result.append(std::move(path));
    }
    return result;
}

// In the C locale Qt's collator keys ignore the case setting, so case folding stands in for
// them there: code-point order without regard to case, the C locale's own collation.
std::vector<QString> foldedKeys(const std::vector<FoundPath>& found, qsizetype skip,
                                const std::atomic<bool>* cancelled) {
    std::vector<QString> keys;
    keys.reserve(found.size());
    for (const FoundPath& entry : found) {
        if (isCancelled(cancelled))
            return {};
        keys.push_back(QStringView(entry.path).mid(skip).toString().toCaseFolded());
    }
    return keys;
}

std::vector<QCollatorSortKey> collationKeys(const std::vector<FoundPath>& found, qsizetype skip,
                                            const QLocale& locale,
                                            const std::atomic<bool>* cancelled) {
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(found.size());
    for (const FoundPath& entry : found) {
        if (isCancelled(cancelled))
            return {};
        keys.push_back(collator.sortKey(entry.path.mid(skip)));
    }
    return keys;
}

} // namespace

QStringList sortedWithoutDuplicates(std::vector<FoundPath> found, const QLocale& locale,
                                    const std::atomic<bool>* cancelled) {
    const qsizetype skip = sharedFolderLength(found);
    std::vector<int> order;
    if (locale.language() == QLocale::C) {
        const auto keys = foldedKeys(found, skip, cancelled);
        if (isCancelled(cancelled))
            return {};
        order = sortedOrder(found, keys);
    } else {
        const auto keys = collationKeys(found, skip, locale, cancelled);
        if (isCancelled(cancelled))
            return {};
        order = sortedOrder(found, keys);
    }
    return withoutDuplicates(found, order);
}

} // namespace search

#include "search/tree_walk.h"

#include "core/path_bytes.h"
#include "search/path_list.h"
#include "search/wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

namespace search {

namespace {

// Walks with the POSIX directory calls: the entry type comes with the entry on most file
// systems, names stay bytes until one matches, and only matching names become QStrings.
class TreeWalker {
public:
    TreeWalker(const ScanRequest& request, const FoundCallback& found,
               const std::atomic<bool>* cancelled)
        : subDirectories_(request.subDirectories), found_(found), cancelled_(cancelled) {
        for (const QString& line : request.filter)
            masks_.emplace_back(maskNamePart(line));
    }

    bool hasMasks() const { return !masks_.empty(); }
    bool isCancelled() const { return cancelled_ && cancelled_->load(std::memory_order_relaxed); }

    // folderBytes and folderText end with '/'.
    void walk(const QByteArray& folderBytes, const QString& folderText) {
        const int fd = ::open(folderBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return; // missing or unreadable: contributes nothing
        struct stat folder {};
        if (::fstat(fd, &folder) != 0 || isAncestor(folder)) {
            ::close(fd); // a link back into the walk's own path would never end
            return;
        }
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return;
        }
        ancestors_.push_back({folder.st_dev, folder.st_ino});
        std::vector<QByteArray> subfolders;
        readEntries(dir, folderText, subfolders);
        ::closedir(dir);
        for (const QByteArray& name : subfolders) {
            if (isCancelled())
                break;
            walk(folderBytes + name + '/', folderText + core::decodePathBytes(name) + u'/');
        }
        ancestors_.pop_back();
    }

    std::vector<FoundPath> takeFound() { return std::move(taken_); }

private:
    struct FolderId {
        dev_t device;
        ino_t inode;
    };

    bool isAncestor(const struct stat& folder) const {
        for (const FolderId& id : ancestors_) {
            if (id.device == folder.st_dev && id.inode == folder.st_ino)
                return true;
        }
        return false;
    }

    // Matching entries of the folder are taken before any subfolder is entered.
    void readEntries(DIR* dir, const QString& folderText, std::vector<QByteArray>& subfolders) {
        while (const dirent* entry = ::readdir(dir)) {
            if (isCancelled())
                return;
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            takeIfMatching(name, folderText);
            if (subDirectories_ && isFolderToEnter(::dirfd(dir), *entry))
                subfolders.emplace_back(name.data(), qsizetype(name.size()));
        }
    }

    void takeIfMatching(std::string_view name, const QString& folderText) {
        const bool ascii = isAsciiName(name);
        QString text; // made only when a mask needs it or the entry is taken
        const auto nameText = [&]() -> const QString& {
            if (text.isNull())
                text = ascii ? QString::fromLatin1(name.data(), qsizetype(name.size()))
                             : core::decodePathBytes(
                                   QByteArrayView(name.data(), qsizetype(name.size())));
            return text;
        };
        int firstMask = -1;
        int matches = 0;
        for (size_t i = 0; i < masks_.size(); ++i) {
            const WildcardMask& mask = masks_[i];
            const bool match =
                (ascii && mask.isAscii()) ? mask.matchesAscii(name) : mask.matches(nameText());
            if (match) {
                firstMask = firstMask < 0 ? int(i) : firstMask;
                ++matches;
            }
        }
        if (matches == 0)
            return;
        const QString path = folderText + nameText();
        taken_.push_back({path, firstMask});
        if (!found_)
            return;
        for (int i = 0; i < matches; ++i)
            found_(path);
    }

    static bool isFolderToEnter(int dirFd, const dirent& entry) {
        if (entry.d_type == DT_DIR)
            return true;
        if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
            return false;
        // The type is not known (some file systems) or the entry is a link: ask the target.
        struct stat target {};
        return ::fstatat(dirFd, entry.d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    }

    std::vector<WildcardMask> masks_;
    const bool subDirectories_;
    const FoundCallback& found_;
    const std::atomic<bool>* cancelled_;
    std::vector<FolderId> ancestors_;
    std::vector<FoundPath> taken_;
};

} // namespace

QStringList scanTree(const ScanRequest& request, const FoundCallback& found,
                     const std::atomic<bool>* cancelled) {
    TreeWalker walker(request, found, cancelled);
    if (!walker.hasMasks() || request.root.isEmpty())
        return {};
    QString rootText = request.root;
    if (!rootText.endsWith(u'/'))
        rootText += u'/';
    walker.walk(core::encodePathBytes(rootText), rootText);
    if (walker.isCancelled())
        return {};
    return sortedWithoutDuplicates(walker.takeFound(), request.locale, cancelled);
}

} // namespace search

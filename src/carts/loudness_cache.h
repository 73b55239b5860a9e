#pragma once
// The loudness measured for each file, kept between runs in bandoraloud.cache in the program
// folder, so a file is measured once. An entry holds the file's size and modification time
// and only answers while both are unchanged: a file replaced or edited is measured again.
//
// The file: a first line "BANDORA-LOUDNESS 1", then one line per file
//   size TAB modified-ns TAB integrated-LUFS TAB true-peak-dBTP TAB path
// with "-inf" for no loudness and the path's bytes percent-encoded (any byte of a Linux name,
// tabs and line ends included, survives). A file with another first line is not ours and is
// ignored whole; a line that does not read is dropped. The next write rebuilds the file.
//
// Not shared between threads: the loudness worker owns its cache.
#include "audio/loudness.h"

#include <QHash>
#include <QString>

#include <optional>

namespace carts {

inline constexpr auto kLoudnessCacheFile = "bandoraloud.cache";

struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// nullopt when the path names no regular file that can be looked at.
std::optional<FileStamp> stampOf(const QString& path);

class LoudnessCache {
public:
    // A missing, unreadable or foreign file gives an empty cache.
    static LoudnessCache read(const QString& file);
    // Written whole through a temporary file; entries of files that are gone are left out.
    bool write(const QString& file) const;

    std::optional<audio::Loudness> find(const QString& path, const FileStamp& stamp) const;
    void store(const QString& path, const FileStamp& stamp, const audio::Loudness& loudness);
    qsizetype size() const { return entries_.size(); }

private:
    struct Entry {
        FileStamp stamp;
        audio::Loudness loudness;
    };
    void readLine(const QString& line);
    QHash<QString, Entry> entries_;
};

} // namespace carts

#pragma once
// A file opened by the exact bytes of its name (Qt's file classes cannot name a file whose name
// is not UTF-8), read and written at offsets. For the binary files the model edits in place or
// beside their originals: audio files' chunks and the peaks cache.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace carts {

class RawFile {
public:
    enum class Mode { Read, ReadWrite, CreateReadWrite };
    static std::optional<RawFile> open(const QString& path, Mode mode);
    // A new, empty file in `folder` with a unique name starting with `stem`, for writing a
    // replacement that is renamed over the original once complete.
    static std::optional<RawFile> createTemporary(const QString& folder, const QString& stem);

    RawFile(RawFile&& other) noexcept;
    RawFile& operator=(RawFile&& other) noexcept;
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    ~RawFile();

    const QString& path() const { return path_; }
    std::int64_t size() const;
    // Up to `length` bytes from `offset`; fewer at the end of the file, empty on an error.
    QByteArray readAt(std::int64_t offset, std::int64_t length) const;
    bool writeAt(std::int64_t offset, const QByteArray& bytes);
    bool append(const QByteArray& bytes);
    // Copies `length` bytes of `from` starting at `offset` to the end of this file, in blocks.
    bool appendFrom(const RawFile& from, std::int64_t offset, std::int64_t length);
    bool truncate(std::int64_t length);
    // Flushes to the disk: a file renamed over another must be complete before the rename.
    bool sync();
    bool copyModeFrom(const RawFile& other);

private:
    RawFile(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
    QString path_;
};

// Renames `from` over `to` in one step (both in the same folder).
bool replaceFile(const QString& from, const QString& to);
void removeFile(const QString& path);

} // namespace carts

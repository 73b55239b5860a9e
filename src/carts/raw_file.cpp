#include "carts/raw_file.h"

#include "core/path_bytes.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace carts {

namespace {

constexpr std::int64_t kCopyBlock = 1 << 20;

bool writeAll(int fd, const char* data, std::int64_t length, std::int64_t offset) {
    while (length > 0) {
        const ssize_t done = ::pwrite(fd, data, static_cast<std::size_t>(length), offset);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        data += done;
        length -= done;
        offset += done;
    }
    return true;
}

} // namespace

std::optional<RawFile> RawFile::open(const QString& path, Mode mode) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read:
        flags |= O_RDONLY;
        break;
    case Mode::ReadWrite:
        flags |= O_RDWR;
        break;
    case Mode::CreateReadWrite:
        flags |= O_RDWR | O_CREAT;
        break;
    }
    const int fd = ::open(core::encodePathBytes(path).constData(), flags, 0644);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return RawFile(fd, path);
}

std::optional<RawFile> RawFile::createTemporary(const QString& folder, const QString& stem) {
    QByteArray pattern = core::encodePathBytes(folder) + '/' + core::encodePathBytes(stem) +
                         QByteArrayLiteral(".XXXXXX");
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    return RawFile(fd, core::decodePathBytes(pattern));
}

RawFile::RawFile(RawFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

RawFile& RawFile::operator=(RawFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

RawFile::~RawFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::int64_t RawFile::size() const {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

QByteArray RawFile::readAt(std::int64_t offset, std::int64_t length) const {
    // Lengths come from the files themselves: never allocate past what the file holds.
    const std::int64_t available = size() - offset;
    if (offset < 0 || length <= 0 || available <= 0) {
        return {};
    }
    QByteArray bytes(static_cast<qsizetype>(std::min(length, available)), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t done =
            ::pread(fd_, bytes.data() + filled, static_cast<std::size_t>(bytes.size() - filled),
                    offset + filled);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            break;
        }
        filled += done;
    }
    bytes.truncate(filled);
    return bytes;
}

bool RawFile::writeAt(std::int64_t offset, const QByteArray& bytes) {
    return writeAll(fd_, bytes.constData(), bytes.size(), offset);
}

bool RawFile::append(const QByteArray& bytes) {
    return writeAt(size(), bytes);
}

bool RawFile::appendFrom(const RawFile& from, std::int64_t offset, std::int64_t length) {
    while (length > 0) {
        const QByteArray block = from.readAt(offset, std::min(length, kCopyBlock));
        if (block.isEmpty() || !append(block)) {
            return false;
        }
        offset += block.size();
        length -= block.size();
    }
    return true;
}

bool RawFile::truncate(std::int64_t length) {
    return ::ftruncate(fd_, length) == 0;
}

bool RawFile::sync() {
    return ::fsync(fd_) == 0;
}

bool RawFile::copyModeFrom(const RawFile& other) {
    struct stat info {};
    return ::fstat(other.fd_, &info) == 0 && ::fchmod(fd_, info.st_mode & 07777) == 0;
}

bool replaceFile(const QString& from, const QString& to) {
    return ::rename(core::encodePathBytes(from).constData(),
                    core::encodePathBytes(to).constData()) == 0;
}

void removeFile(const QString& path) {
    ::unlink(core::encodePathBytes(path).constData());
}

} // namespace carts

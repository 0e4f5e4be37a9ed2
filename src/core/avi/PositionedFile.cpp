#include "core/avi/PositionedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace kelvor::avi {

std::unique_ptr<DiskFile> DiskFile::open(const std::string& path, Mode mode, int* errorCode) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::Write:
            flags |= O_WRONLY;
            break;
        case Mode::ReadWrite:
            flags |= O_RDWR;
            break;
    }
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        if (errorCode)
            *errorCode = errno;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Only regular files have a size to walk; a pipe or device is refused.
        if (errorCode)
            *errorCode = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DiskFile>(new DiskFile(fd, static_cast<std::uint64_t>(st.st_size)));
}

DiskFile::~DiskFile() {
    ::close(fd_);
}

std::unique_ptr<DiskFile> DiskFile::duplicate() const {
    const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<DiskFile>(new DiskFile(fd, size_));
}

void DiskFile::adviseSequential() {
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

std::optional<std::size_t> DiskFile::doReadAt(std::uint64_t offset,
                                              std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    while (done < buffer.size()) {
        if (offset > kMaxOffset - done)
            break;
        const ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done == 0)
                return std::nullopt;
            break;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool DiskFile::doWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    size_ = std::max(size_, offset + bytes.size());
    return true;
}

std::optional<std::size_t> MemoryFile::doReadAt(std::uint64_t offset,
                                                std::span<std::uint8_t> buffer) {
    if (offset >= bytes_.size())
        return 0;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bytes_.size() - offset));
    if (n == 0)
        return 0;  // an empty buffer may have no storage at all
    std::memcpy(buffer.data(), bytes_.data() + offset, n);
    return n;
}

bool MemoryFile::doWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (offset > bytes_.size() || bytes_.size() - offset < bytes.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

void FileStream::seekRelative(std::int64_t delta) {
    if (delta >= 0) {
        const auto d = static_cast<std::uint64_t>(delta);
        pos_ = pos_ > std::numeric_limits<std::uint64_t>::max() - d
                   ? std::numeric_limits<std::uint64_t>::max()
                   : pos_ + d;
    } else {
        const std::uint64_t back = static_cast<std::uint64_t>(-(delta + 1)) + 1;
        pos_ = back > pos_ ? 0 : pos_ - back;
    }
}

std::size_t FileStream::read(std::span<std::uint8_t> buffer) {
    const auto n = file_.readAt(pos_, buffer).value_or(0);
    pos_ += n;
    return n;
}

std::unique_ptr<DiskFile> OpenOrRaise(const std::string& path, DiskFile::Mode mode) {
    int err = 0;
    auto f = DiskFile::open(path, mode, &err);
    if (!f)
        throw FileError("cannot open " + path + ": " + std::strerror(err));
    return f;
}

std::optional<std::uint64_t> RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace kelvor::avi

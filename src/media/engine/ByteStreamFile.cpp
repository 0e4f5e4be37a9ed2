#include "media/engine/ByteStreamFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>

#include "core/files/OutputFile.h"

namespace kelvor::media {

ByteStreamFile::ByteStreamFile(std::string target) : target_(std::move(target)) {}

ByteStreamFile::~ByteStreamFile() {
    std::lock_guard lock(mutex_);
    removeTemporary();
}

void ByteStreamFile::removeTemporary() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_.c_str());
    temp_.clear();
}

Status ByteStreamFile::Acquire() {
    std::lock_guard lock(mutex_);
    if (users_ == 0) {
        removeTemporary();
        files::TemporaryFile created = files::CreateTemporaryFile(target_);
        if (created.Fd < 0)
            return Code::Fail;
        fd_ = created.Fd;
        temp_ = std::move(created.Name);
        failed_ = false;
        keep_ = false;
        position_ = 0;
    }
    ++users_;
    return Code::Ok;
}

Status ByteStreamFile::Release() {
    std::lock_guard lock(mutex_);
    if (users_ == 0)
        return Code::False;
    if (--users_ > 0)
        return Code::Ok;
    if (fd_ < 0)
        return Code::Fail;
    if (!keep_) {
        removeTemporary();
        return Code::False;
    }
    const bool synced = !failed_ && ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || std::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return Code::Fail;
    }
    temp_.clear();
    return Code::Ok;
}

void ByteStreamFile::Keep() {
    std::lock_guard lock(mutex_);
    keep_ = true;
}

Status ByteStreamFile::Seek(std::uint64_t position) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        return Code::Fail;
    position_ = position;
    return Code::Ok;
}

Status ByteStreamFile::Write(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    return writeLocked(position_, bytes);
}

Status ByteStreamFile::WriteAt(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    return writeLocked(position, bytes);
}

Status ByteStreamFile::writeLocked(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (fd_ < 0 || failed_)
        return Code::Fail;
    if (position > kMaxOffset || kMaxOffset - position < bytes.size()) {
        failed_ = true;
        return Code::Fail;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            return Code::Fail;
        }
        done += static_cast<std::size_t>(n);
    }
    position_ = position + done;
    return Code::Ok;
}

std::string ByteStreamFile::TemporaryName() const {
    std::lock_guard lock(mutex_);
    return temp_;
}

}  // namespace kelvor::media

#include "media/engine/ByteStreamFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
            return Status(Code::Fail, std::move(created.Error));
        fd_ = created.Fd;
        temp_ = std::move(created.Name);
        failed_ = false;
        error_.clear();
        keep_ = false;
        position_ = 0;
        gathered_.clear();
        gathered_.reserve(kBlockSize);
    }
    ++users_;
    return Code::Ok;
}

Status ByteStreamFile::Release() {
    std::lock_guard lock(mutex_);
    if (users_ == 0)
        return Code::False;
    const Status flushed = flushLocked();
    if (--users_ > 0)
        return flushed.failed() ? flushed : Status(Code::Ok);
    if (fd_ < 0)
        return Status(Code::Fail, error_.empty() ? target_ + ": the file is not open" : error_);
    if (!keep_) {
        removeTemporary();
        return Code::False;
    }
    // The reason of the first failure is the one kept: a write that failed is why the file is
    // not moved into place.
    const bool synced =
        !failed_ && (files::SyncBeforeReplacing(fd_, target_) || noteFailure("write failed"));
    const bool closed = ::close(fd_) == 0 || noteFailure("write failed");
    fd_ = -1;
    if (!synced || !closed ||
        (std::rename(temp_.c_str(), target_.c_str()) != 0 &&
         noteFailure("cannot move the file into place"))) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return Status(Code::Fail, error_);
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
        return Status(Code::Fail, error_.empty() ? target_ + ": the file is not open" : error_);
    if (position > kMaxOffset || kMaxOffset - position < bytes.size()) {
        failed_ = true;
        error_ = target_ + ": write failed: the file would be too large";
        return Status(Code::Fail, error_);
    }
    const bool follows = !gathered_.empty() && position == gatheredAt_ + gathered_.size();
    if (!follows || gathered_.size() + bytes.size() > kBlockSize) {
        const Status flushed = flushLocked();
        if (flushed.failed())
            return flushed;
    }
    position_ = position + bytes.size();
    if (bytes.size() >= kGatherBelow)
        return writeOut(position, bytes);
    if (gathered_.empty())
        gatheredAt_ = position;
    gathered_.insert(gathered_.end(), bytes.begin(), bytes.end());
    return Code::Ok;
}

Status ByteStreamFile::flushLocked() {
    if (gathered_.empty())
        return Code::Ok;
    const Status hr = writeOut(gatheredAt_, gathered_);
    gathered_.clear();
    return hr;
}

Status ByteStreamFile::writeOut(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || failed_)
        return Status(Code::Fail, error_.empty() ? target_ + ": the file is not open" : error_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;  // a write that takes nothing leaves no error of its own
            noteFailure("write failed");
            return Status(Code::Fail, error_);
        }
        done += static_cast<std::size_t>(n);
    }
    return Code::Ok;
}

bool ByteStreamFile::noteFailure(const char* what) {
    const int error = errno;
    failed_ = true;
    if (error_.empty())
        error_ = target_ + ": " + what + ": " + std::strerror(error);
    return false;
}

std::string ByteStreamFile::TemporaryName() const {
    std::lock_guard lock(mutex_);
    return temp_;
}

}  // namespace kelvor::media

#include "core/files/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

namespace kelvor::files {

namespace {

// The longest file name the folder accepts, NAME_MAX when the system does not say.
std::size_t nameLimit(const std::string& folder) {
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

// The first `size` bytes of a name, less a UTF-8 sequence that would be cut in two.
std::string_view cutAtCharacter(std::string_view name, std::size_t size) {
    if (name.size() <= size)
        return name;
    while (size > 0 && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80)
        --size;
    return name.substr(0, size);
}

}  // namespace

bool WriteAll(int fd, std::span<const std::byte> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SyncBeforeReplacing(int fd, std::string_view target) {
    struct stat st {};
    const std::string name(target);
    if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT)
        return true;
    return ::fsync(fd) == 0;
}

TemporaryFile CreateTemporaryFile(std::string_view target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder(slash == std::string_view::npos ? std::string_view{}
                                                             : target.substr(0, slash + 1));
    const std::string_view name =
        slash == std::string_view::npos ? target : target.substr(slash + 1);
    constexpr std::string_view kPrefix = ".kelvor-";
    constexpr std::string_view kExtension = ".tmp";
    constexpr std::size_t kRandomDigits = 8;
    const std::size_t limit = nameLimit(folder);
    const std::size_t added = kPrefix.size() + kRandomDigits + kExtension.size();
    const std::string kept(cutAtCharacter(name, limit > added ? limit - added : 0));

    TemporaryFile file;
    std::random_device random;
    // A name taken meanwhile by another run is simply passed over; a few tries always find one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        char digits[kRandomDigits + 1];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random()));
        file.Name = folder + kept + std::string(kPrefix) + digits + std::string(kExtension);
        file.Fd = ::open(file.Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.Fd >= 0)
            return file;
        if (errno != EEXIST)
            break;
    }
    file.ErrorNumber = errno;
    file.Error = "cannot create " + file.Name + ": " + std::strerror(file.ErrorNumber);
    return file;
}

bool SameFile(std::string_view a, std::string_view b) {
    struct stat sa {};
    struct stat sb {};
    if (a.empty() || b.empty() || ::stat(std::string(a).c_str(), &sa) != 0 ||
        ::stat(std::string(b).c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string RefusedTarget(std::string_view target, std::string_view source) {
    if (target.empty())
        return "no file name to write to";
    if (SameFile(target, source))
        return std::string(target) + " is the file being read; it is not written over";
    struct stat st {};
    if (::stat(std::string(target).c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return std::string(target) + " is not a regular file; it is not written over";
    return {};
}

OutputFile::OutputFile(std::string target, std::string_view source)
    : target_(std::move(target)), source_(source) {
    if (std::string why = RefusedTarget(target_, source_); !why.empty()) {
        fail(std::move(why));
        return;
    }
    TemporaryFile created = CreateTemporaryFile(target_);
    temp_ = std::move(created.Name);
    if (created.Fd < 0) {
        fail(std::move(created.Error));
        return;
    }
    file_ = ::fdopen(created.Fd, "wb");
    if (file_ == nullptr) {
        fail("cannot create " + temp_ + ": " + std::strerror(errno));
        ::close(created.Fd);
        ::unlink(temp_.c_str());
    }
}

OutputFile::~OutputFile() {
    Commit();
}

bool OutputFile::fail(std::string why) {
    good_ = false;
    if (error_.empty())
        error_ = std::move(why);
    return false;
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
    return writeRaw(bytes.data(), bytes.size());
}

bool OutputFile::Write(std::string_view bytes) {
    return writeRaw(bytes.data(), bytes.size());
}

bool OutputFile::writeRaw(const void* data, std::size_t size) {
    if (!Good())
        return false;
    if (position_ != size_ && std::fseek(file_, static_cast<long>(size_), SEEK_SET) != 0)
        return fail("cannot write " + temp_ + ": " + std::strerror(errno));
    position_ = size_;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size)
        return fail("cannot write " + temp_ + ": " + std::strerror(errno));
    size_ += size;
    position_ = size_;
    return true;
}

bool OutputFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (!Good())
        return false;
    if (offset > size_ || size_ - offset < bytes.size())
        return false;
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        return fail("cannot write " + temp_ + ": " + std::strerror(errno));
    position_ = offset + bytes.size();
    return true;
}

bool OutputFile::Commit() {
    if (file_ == nullptr)
        return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed)
        fail("cannot write " + temp_ + ": " + std::strerror(errno));
    // The target may have become the source since it was opened (a rename meanwhile).
    else if (std::string why = RefusedTarget(target_, source_); !why.empty())
        fail(std::move(why));
    else if (good_ && std::rename(temp_.c_str(), target_.c_str()) != 0)
        fail("cannot replace " + target_ + ": " + std::strerror(errno));
    if (!good_) {
        std::remove(temp_.c_str());
        return false;
    }
    return true;
}

void OutputFile::Discard() {
    if (file_ == nullptr)
        return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(temp_.c_str());
}

}  // namespace kelvor::files

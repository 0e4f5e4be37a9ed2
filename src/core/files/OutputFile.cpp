#include "core/files/OutputFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace kelvor::files {

std::string TemporaryNameFor(std::string_view target) {
    // A random part keeps two programs writing the same target from sharing a temporary file.
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    return std::string(target) + ".kelvor-" + suffix + ".tmp";
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
    : target_(std::move(target)), source_(source), temp_(TemporaryNameFor(target_)) {
    if (std::string why = RefusedTarget(target_, source_); !why.empty()) {
        fail(std::move(why));
        return;
    }
    file_ = std::fopen(temp_.c_str(), "wb");
    if (file_ == nullptr)
        fail("cannot create " + temp_ + ": " + std::strerror(errno));
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

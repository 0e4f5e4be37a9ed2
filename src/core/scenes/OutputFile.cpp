#include "core/scenes/OutputFile.h"

#include <random>

namespace kelvor::scenes {

std::string TemporaryNameFor(std::string_view target) {
    // A random part keeps two programs writing the same target from sharing a temporary file.
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    return std::string(target) + ".kelvor-" + suffix + ".tmp";
}

OutputFile::OutputFile(std::string target)
    : target_(std::move(target)), temp_(TemporaryNameFor(target_)) {
    file_ = std::fopen(temp_.c_str(), "wb");
}

OutputFile::~OutputFile() {
    Commit();
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
    if (position_ != size_ && std::fseek(file_, static_cast<long>(size_), SEEK_SET) != 0) {
        good_ = false;
        return false;
    }
    position_ = size_;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
        good_ = false;
        return false;
    }
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
        std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        good_ = false;
        return false;
    }
    position_ = offset + bytes.size();
    return true;
}

bool OutputFile::Commit() {
    if (file_ == nullptr)
        return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!good_ || !closed || std::rename(temp_.c_str(), target_.c_str()) != 0) {
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

}  // namespace kelvor::scenes

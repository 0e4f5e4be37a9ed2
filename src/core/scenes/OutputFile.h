// A file that replaces another only once it is complete: bytes go to a temporary file beside
// the target, and Commit() moves it into place. A crash or a failed write therefore never leaves
// the user with neither the old file nor a complete new one.
//
// Owns its temporary file. One thread at a time. Failures are values: a file that cannot be
// created makes every write a no-op that reports false, and Commit() then keeps the old file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace kelvor::scenes {

class OutputFile {
  public:
    explicit OutputFile(std::string target);
    ~OutputFile();  // commits when not done yet
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // False after any failed write; the file then stays unreplaced.
    bool Good() const { return file_ != nullptr && good_; }

    bool Write(std::span<const std::uint8_t> bytes);
    bool Write(std::string_view bytes);
    // Overwrites bytes already written, at an offset from the start.
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::uint64_t Size() const { return size_; }

    // Moves the complete file into place; a file with a failed write is removed instead and the
    // old one stays. True when the target now holds what was written.
    bool Commit();
    // Removes the temporary file and keeps the old one.
    void Discard();

    const std::string& Target() const { return target_; }
    const std::string& TemporaryName() const { return temp_; }

  private:
    bool writeRaw(const void* data, std::size_t size);

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    bool good_ = true;
};

// The temporary name used beside a target (for writers that produce their bytes elsewhere).
std::string TemporaryNameFor(std::string_view target);

}  // namespace kelvor::scenes

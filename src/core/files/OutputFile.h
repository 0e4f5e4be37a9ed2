// A file that replaces another only once it is complete: bytes go to a temporary file beside
// the target, and Commit() moves it into place. A crash or a failed write therefore never leaves
// the user with neither the old file nor a complete new one.
//
// A writer names the file it reads from (the video a scene list describes, the file a report
// analyses): a target that is that same file, by device and inode whatever its name, or that is
// not a regular file, is refused, so no writer ever replaces its own input.
//
// Owns its temporary file, made by CreateTemporaryFile. One thread at a time. Failures are values:
// a file that cannot be created or is refused makes every write a no-op that reports false,
// Commit() then keeps the old file, and Error() says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace kelvor::files {

class OutputFile {
  public:
    explicit OutputFile(std::string target, std::string_view source = {});
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
    // Why the file was refused or could not be written; empty while all is well.
    const std::string& Error() const { return error_; }

  private:
    bool writeRaw(const void* data, std::size_t size);
    bool fail(std::string why);

    std::string target_;
    std::string source_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    bool good_ = true;
    std::string error_;
};

// A file just created for a writer beside its target, under a name nobody held before.
struct TemporaryFile {
    int Fd = -1;          // open for writing; -1 when it could not be created
    std::string Name;     // the name it was created under (the last one tried on failure)
    std::string Error;    // "cannot create NAME: reason" when Fd is -1
    int ErrorNumber = 0;  // the reason's errno
};

// Creates a new file in the target's folder, exclusively (O_CREAT | O_EXCL, mode 0666 less the
// umask), under the target's name with a random part appended: two runs writing the same target
// never share a file, and a file or link the user keeps there under any name is never opened.
// The part taken from the target's name is shortened, at a character boundary, so that the name
// fits the folder's limit whenever the target's own name does.
TemporaryFile CreateTemporaryFile(std::string_view target);

// Writes all of `bytes` to `fd`, again after an interruption; false (errno set) on a failed or
// empty write.
bool WriteAll(int fd, std::span<const std::byte> bytes);

// Forces `fd`'s bytes to the disk when the coming rename onto `target` replaces a file that
// exists (an older output, or the source itself): a crash after that rename must not lose both.
// A brand-new target is left to the kernel's writeback, as cp does, since a crash then loses only
// an output the untouched source can make again. The sync cost 0.10-0.12 s of a 144 MB type 2
// conversion that cp does in 0.03 s. False (errno set) when the sync failed.
bool SyncBeforeReplacing(int fd, std::string_view target);

// True when both names exist and are the same file (same device and inode), whatever the names.
bool SameFile(std::string_view a, std::string_view b);

// Why a writer must not write to target while reading source: the target is the source itself,
// or exists and is not a regular file (a folder, a FIFO, a device). Empty when it may.
std::string RefusedTarget(std::string_view target, std::string_view source);

}  // namespace kelvor::files

// Files read and written at explicit offsets, and a stream position over them.
//
// Every AVI walker (reader, header patcher, structure report, demuxer) reads through a
// PositionedFile, so tests and fuzz targets can hand them bytes in memory and count what a walk
// reads. A PositionedFile is used by one thread at a time; it keeps counters of the bytes and
// calls it served.
//
// Failure: readAt returns how many bytes it got (fewer than asked at the end of the file) or no
// value on an I/O error; writeAt returns false when not every byte was written. Nothing throws
// except DiskFile::open's callers' choice (open itself returns nullptr and an errno).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvor::avi {

class PositionedFile {
  public:
    virtual ~PositionedFile() = default;

    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> buffer) {
        auto n = doReadAt(offset, buffer);
        ++readCalls_;
        if (n)
            bytesRead_ += *n;
        return n;
    }
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
        return doWriteAt(offset, bytes);
    }
    // The size when the file was opened (kept up to date by this object's own writes).
    virtual std::uint64_t size() const = 0;

    std::uint64_t bytesRead() const { return bytesRead_; }
    std::uint64_t readCalls() const { return readCalls_; }

  protected:
    virtual std::optional<std::size_t> doReadAt(std::uint64_t offset,
                                                std::span<std::uint8_t> buffer) = 0;
    virtual bool doWriteAt(std::uint64_t, std::span<const std::uint8_t>) { return false; }

  private:
    std::uint64_t bytesRead_ = 0;
    std::uint64_t readCalls_ = 0;
};

// A file on disk through a POSIX descriptor (pread/pwrite). Opening never locks the file: other
// programs may read and write it meanwhile. The object owns the descriptor and closes it.
class DiskFile final : public PositionedFile {
  public:
    enum class Mode { Read, Write, ReadWrite };  // Write and ReadWrite never create or truncate

    // nullptr when the file cannot be opened; errorCode then holds errno.
    static std::unique_ptr<DiskFile> open(const std::string& path, Mode mode = Mode::Read,
                                          int* errorCode = nullptr);
    ~DiskFile() override;
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    std::uint64_t size() const override { return size_; }
    // Advises the kernel that the file will be read front to back.
    void adviseSequential();
    // A second object on the same open file, with counters of its own, for another thread to
    // read through: the very file this one opened, even if its name now points elsewhere.
    // nullptr when no descriptor is left.
    std::unique_ptr<DiskFile> duplicate() const;

  private:
    DiskFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::optional<std::size_t> doReadAt(std::uint64_t offset,
                                        std::span<std::uint8_t> buffer) override;
    bool doWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

    int fd_;
    std::uint64_t size_;
};

// Bytes in memory as a file (tests, fuzz targets, patching a copy). Writes inside the bytes
// change them; a write past the end fails, so the size never changes.
class MemoryFile final : public PositionedFile {
  public:
    MemoryFile() = default;
    explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::optional<std::size_t> doReadAt(std::uint64_t offset,
                                        std::span<std::uint8_t> buffer) override;
    bool doWriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

    std::vector<std::uint8_t> bytes_;
};

// A current position over a PositionedFile, with the read and seek calls of a file stream. A
// read returns how many bytes it got and moves the position by that many; an I/O error counts
// as getting nothing. Seeking before the start stops at 0; seeking past the end is allowed.
class FileStream {
  public:
    explicit FileStream(PositionedFile& file) : file_(file) {}

    std::uint64_t position() const { return pos_; }
    std::uint64_t size() const { return file_.size(); }
    void seek(std::uint64_t pos) { pos_ = pos; }
    void seekRelative(std::int64_t delta);
    std::size_t read(std::span<std::uint8_t> buffer);
    // True when every byte was read.
    bool readExact(std::span<std::uint8_t> buffer) { return read(buffer) == buffer.size(); }
    PositionedFile& file() { return file_; }

  private:
    PositionedFile& file_;
    std::uint64_t pos_ = 0;
};

// The error raised by the operations whose callers expect a raise when a file cannot be opened
// or read (the AVI reader's constructor, the codec read, the frame-rate write, the report).
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Opens a file or raises FileError with the path and the system's reason.
std::unique_ptr<DiskFile> OpenOrRaise(const std::string& path,
                                      DiskFile::Mode mode = DiskFile::Mode::Read);

// The size of a file on disk, or none when it does not exist or is not a regular file.
std::optional<std::uint64_t> RegularFileSize(const std::string& path);

}  // namespace kelvor::avi

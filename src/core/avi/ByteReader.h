// The one bounds-checked reader of binary data: a cursor over a byte span whose calls name the
// byte order. Every read checks what is left before it touches a byte; a read past the end
// returns no value and puts the reader in a failed state (ok() false), so a chain of reads can
// be checked once at the end. Little helpers store integers into a writable span the same way.
//
// The reader does not own the bytes; the caller keeps the span alive. Not thread-safe (one
// reader per thread), allocation-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelvor::avi {

class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool ok() const { return ok_; }

    // Moves to an absolute position; a position past the end fails the reader.
    bool seek(std::size_t pos) {
        if (pos > bytes_.size())
            return fail();
        pos_ = pos;
        return true;
    }
    bool skip(std::size_t n) {
        if (remaining() < n)
            return fail();
        pos_ += n;
        return true;
    }

    std::optional<std::uint8_t> readU8() {
        if (remaining() < 1)
            return failed<std::uint8_t>();
        return bytes_[pos_++];
    }
    std::optional<std::uint16_t> readU16LE() { return readLE<std::uint16_t, 2>(); }
    std::optional<std::uint32_t> readU32LE() { return readLE<std::uint32_t, 4>(); }
    std::optional<std::uint64_t> readU64LE() { return readLE<std::uint64_t, 8>(); }
    std::optional<std::int16_t> readI16LE() {
        auto v = readU16LE();
        if (!v)
            return std::nullopt;
        return static_cast<std::int16_t>(*v);
    }
    std::optional<std::int32_t> readI32LE() {
        auto v = readU32LE();
        if (!v)
            return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    // A four-character code as stored, read as a little-endian 32-bit value.
    std::optional<std::uint32_t> readFourcc() { return readU32LE(); }

    // The next n bytes as a sub-span (not copied); none when fewer are left.
    std::optional<std::span<const std::uint8_t>> readBytes(std::size_t n) {
        if (remaining() < n)
            return failed<std::span<const std::uint8_t>>();
        auto s = bytes_.subspan(pos_, n);
        pos_ += n;
        return s;
    }

  private:
    bool fail() {
        ok_ = false;
        return false;
    }
    template <typename T>
    std::optional<T> failed() {
        ok_ = false;
        return std::nullopt;
    }
    template <typename T, std::size_t N>
    std::optional<T> readLE() {
        if (remaining() < N)
            return failed<T>();
        T v = 0;
        for (std::size_t i = 0; i < N; ++i)
            v |= static_cast<T>(T(bytes_[pos_ + i]) << (8 * i));
        pos_ += N;
        return v;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// Fixed-offset little-endian reads of a block already known to be long enough; an offset that
// does not fit gives 0 rather than touching memory outside the block.
inline std::uint32_t LoadU32LE(std::span<const std::uint8_t> b, std::size_t off) {
    if (b.size() < 4 || b.size() - 4 < off)
        return 0;
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 |
           std::uint32_t(b[off + 2]) << 16 | std::uint32_t(b[off + 3]) << 24;
}
inline std::uint16_t LoadU16LE(std::span<const std::uint8_t> b, std::size_t off) {
    if (b.size() < 2 || b.size() - 2 < off)
        return 0;
    return static_cast<std::uint16_t>(b[off] | b[off + 1] << 8);
}
inline std::uint64_t LoadU64LE(std::span<const std::uint8_t> b, std::size_t off) {
    if (b.size() < 8 || b.size() - 8 < off)
        return 0;
    return std::uint64_t(LoadU32LE(b, off)) | std::uint64_t(LoadU32LE(b, off + 4)) << 32;
}

// Little-endian stores into a block; an offset that does not fit stores nothing and returns
// false.
inline bool StoreU16LE(std::span<std::uint8_t> b, std::size_t off, std::uint16_t v) {
    if (b.size() < 2 || b.size() - 2 < off)
        return false;
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
    return true;
}
inline bool StoreU32LE(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v) {
    if (b.size() < 4 || b.size() - 4 < off)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return true;
}
inline bool StoreU64LE(std::span<std::uint8_t> b, std::size_t off, std::uint64_t v) {
    if (b.size() < 8 || b.size() - 8 < off)
        return false;
    for (std::size_t i = 0; i < 8; ++i)
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return true;
}

}  // namespace kelvor::avi

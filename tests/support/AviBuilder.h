// Builds RIFF/AVI bytes in memory for tests: chunks, lists and the header structures, with the
// option of declaring a size other than the real one (malformed and truncated files).
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutU64(Bytes& b, std::uint64_t v) {
    PutU32(b, static_cast<std::uint32_t>(v));
    PutU32(b, static_cast<std::uint32_t>(v >> 32));
}
inline void PutCode(Bytes& b, std::string_view code) {
    for (std::size_t i = 0; i < 4; ++i)
        b.push_back(i < code.size() ? static_cast<std::uint8_t>(code[i]) : 0);
}
inline std::uint32_t GetU32(const Bytes& b, std::size_t off) {
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 |
           std::uint32_t(b[off + 2]) << 16 | std::uint32_t(b[off + 3]) << 24;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A chunk: id, size (the data size unless declared), data, pad byte when the data size is odd.
inline Bytes Chunk(std::string_view id, const Bytes& data,
                   std::optional<std::uint32_t> declared = {}) {
    Bytes b;
    PutCode(b, id);
    PutU32(b, declared.value_or(static_cast<std::uint32_t>(data.size())));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1)
        b.push_back(0);
    return b;
}
// A list ("LIST" or "RIFF") of the given type holding the children as they are.
inline Bytes List(std::string_view kind, std::string_view type,
                  std::initializer_list<Bytes> children,
                  std::optional<std::uint32_t> declared = {}) {
    Bytes data;
    PutCode(data, type);
    for (const auto& c : children)
        data.insert(data.end(), c.begin(), c.end());
    return Chunk(kind, data, declared);
}
inline Bytes Riff(std::string_view form, std::initializer_list<Bytes> children,
                  std::optional<std::uint32_t> declared = {}) {
    return List("RIFF", form, children, declared);
}
inline Bytes Lst(std::string_view type, std::initializer_list<Bytes> children,
                 std::optional<std::uint32_t> declared = {}) {
    return List("LIST", type, children, declared);
}

inline Bytes StreamHeaderData(std::string_view type, std::string_view handler,
                              std::uint32_t scale = 1, std::uint32_t rate = 25,
                              std::uint32_t length = 0) {
    Bytes b;
    PutCode(b, type);
    PutCode(b, handler);
    PutU32(b, 0);
    PutU16(b, 0);
    PutU16(b, 0);
    PutU32(b, 0);
    PutU32(b, scale);
    PutU32(b, rate);
    PutU32(b, 0);
    PutU32(b, length);
    PutU32(b, 144000);
    PutU32(b, 0xFFFFFFFF);
    PutU32(b, 0);
    PutU16(b, 0);
    PutU16(b, 0);
    PutU16(b, 720);
    PutU16(b, 576);
    return b;
}
inline Bytes MainHeaderData(std::uint32_t frames = 0, std::uint32_t streams = 1) {
    Bytes b;
    PutU32(b, 40000);
    PutU32(b, 3600000);
    PutU32(b, 0);
    PutU32(b, 0x10);
    PutU32(b, frames);
    PutU32(b, 0);
    PutU32(b, streams);
    PutU32(b, 144000);
    PutU32(b, 720);
    PutU32(b, 576);
    for (int i = 0; i < 4; ++i)
        PutU32(b, 0);
    return b;
}
inline Bytes BitmapData(std::string_view compression = "dvsd", bool withDvInfo = true) {
    Bytes b;
    PutU32(b, 40);
    PutU32(b, 720);
    PutU32(b, 576);
    PutU16(b, 1);
    PutU16(b, 24);
    PutCode(b, compression);
    PutU32(b, 144000);
    for (int i = 0; i < 4; ++i)
        PutU32(b, 0);
    if (withDvInfo)
        for (int i = 0; i < 8; ++i)
            PutU32(b, 0x11111111u * static_cast<std::uint32_t>(i + 1));
    return b;
}
inline Bytes WaveData() {
    Bytes b;
    PutU16(b, 1);
    PutU16(b, 2);
    PutU32(b, 48000);
    PutU32(b, 192000);
    PutU16(b, 4);
    PutU16(b, 16);
    PutU16(b, 0);
    return b;
}
inline Bytes DvInfoData() {
    Bytes b;
    for (int i = 0; i < 8; ++i)
        PutU32(b, 0xA0000000u + static_cast<std::uint32_t>(i));
    return b;
}
// The data of an "indx" super index: the header and the entries (offset, size, duration).
inline Bytes SuperIndexData(std::string_view chunkId,
                            std::initializer_list<std::pair<std::uint64_t, std::uint32_t>> entries,
                            std::uint8_t indexType = 0, std::size_t capacity = 4) {
    Bytes b;
    PutU16(b, 4);
    b.push_back(0);
    b.push_back(indexType);
    PutU32(b, static_cast<std::uint32_t>(entries.size()));
    PutCode(b, chunkId);
    for (int i = 0; i < 3; ++i)
        PutU32(b, 0);
    std::size_t n = 0;
    for (const auto& [off, size] : entries) {
        PutU64(b, off);
        PutU32(b, size);
        PutU32(b, 1);
        ++n;
    }
    for (; n < capacity; ++n) {
        PutU64(b, 0);
        PutU64(b, 0);
    }
    return b;
}

// A stream list of a DV type 2 video stream, an audio stream or a type 1 stream.
inline Bytes VideoStrl(std::string_view handler = "dvsd", std::string_view compression = "dvsd") {
    return Lst("strl", {Chunk("strh", StreamHeaderData("vids", handler)),
                        Chunk("strf", BitmapData(compression))});
}
inline Bytes AudioStrl() {
    return Lst("strl", {Chunk("strh", StreamHeaderData("auds", "\0\0\0\0", 4, 192000)),
                        Chunk("strf", WaveData())});
}
inline Bytes InterleavedStrl() {
    return Lst("strl",
               {Chunk("strh", StreamHeaderData("iavs", "dvsd")), Chunk("strf", DvInfoData())});
}

// A movi list of n chunks "00dc" of the given size whose bytes are their frame number.
inline Bytes Movi(int frames, std::size_t size = 16, std::string_view id = "00dc") {
    Bytes data;
    PutCode(data, "movi");
    for (int i = 0; i < frames; ++i) {
        const Bytes c = Chunk(id, Bytes(size, static_cast<std::uint8_t>(i)));
        data.insert(data.end(), c.begin(), c.end());
    }
    return Chunk("LIST", data);
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
inline Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace kelvor::test

// Named sizes, offsets and flags of the AVI and OpenDML structures, shared by our readers and
// writer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvor::avi::layout {

inline constexpr std::size_t kChunkHeaderSize = 8;
inline constexpr std::size_t kListHeaderSize = 12;  // id, size, list type
inline constexpr std::size_t kMainHeaderSize = 56;
inline constexpr std::size_t kStreamHeaderSize = 56;
inline constexpr std::size_t kBitmapHeaderSize = 40;
inline constexpr std::size_t kWaveFormatSize = 18;
inline constexpr std::size_t kDvInfoSize = 32;
inline constexpr std::size_t kDmlhSize = 248;
inline constexpr std::size_t kIndexHeaderSize = 24;  // super and standard index headers
inline constexpr std::size_t kSuperIndexEntrySize = 16;
inline constexpr std::size_t kStdIndexEntrySize = 8;
inline constexpr std::size_t kIdx1EntrySize = 16;

// Stream header field offsets.
inline constexpr std::size_t kStrhType = 0;
inline constexpr std::size_t kStrhHandler = 4;
inline constexpr std::size_t kStrhScale = 20;
inline constexpr std::size_t kStrhRate = 24;
inline constexpr std::size_t kStrhLength = 32;
inline constexpr std::size_t kStrhSampleSize = 44;
// Bitmap header: biCompression.
inline constexpr std::size_t kBiCompression = 16;

// avih flags.
inline constexpr std::uint32_t kAvifHasIndex = 0x10;
inline constexpr std::uint32_t kAvifIsInterleaved = 0x100;
inline constexpr std::uint32_t kAvifTrustCkType = 0x800;
// idx1 flag.
inline constexpr std::uint32_t kAviifKeyFrame = 0x10;
// Index types (bIndexType) and the standard index's "not a key frame" bit.
inline constexpr std::uint8_t kIndexOfIndexes = 0;
inline constexpr std::uint8_t kIndexOfChunks = 1;
inline constexpr std::uint32_t kStdIndexDeltaFrame = 0x80000000u;

}  // namespace kelvor::avi::layout

// The stream format blocks of AVI files and media types, typed: BITMAPINFOHEADER (40 bytes),
// WAVEFORMATEX (18 bytes) and DVINFO (32 bytes, dv::DvInfo). Each is read at a ByteReader's
// position and written back as the little-endian bytes it is stored as.
//
// Values and pure functions; any thread. A read that finds too few bytes returns no value and
// leaves the reader failed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/avi/AviLayout.h"
#include "core/avi/ByteReader.h"
#include "core/dv/DvInfo.h"

namespace kelvor::avi {

struct BitmapInfoHeader {
    static constexpr std::size_t kSize = layout::kBitmapHeaderSize;
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: bottom-up rows
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;  // 0 = BI_RGB, else a four-character code
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
    friend bool operator==(const BitmapInfoHeader&, const BitmapInfoHeader&) = default;
};

// Extra bytes after cbSize are not kept.
struct WaveFormatEx {
    static constexpr std::size_t kSize = layout::kWaveFormatSize;
    static constexpr std::uint16_t kFormatPcm = 1;
    std::uint16_t wFormatTag = kFormatPcm;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
    friend bool operator==(const WaveFormatEx&, const WaveFormatEx&) = default;
};

std::optional<BitmapInfoHeader> ReadBitmapInfoHeader(ByteReader& r);
// A 16-byte PCMWAVEFORMAT (no cbSize), common in AVI files, reads with cbSize 0.
std::optional<WaveFormatEx> ReadWaveFormatEx(ByteReader& r);
std::optional<dv::DvInfo> ReadDvInfo(ByteReader& r);

// The bytes of a block as stored.
std::array<std::uint8_t, BitmapInfoHeader::kSize> BlockBytes(const BitmapInfoHeader& b);
std::array<std::uint8_t, WaveFormatEx::kSize> BlockBytes(const WaveFormatEx& w);
std::array<std::uint8_t, dv::DvInfo::kSize> BlockBytes(const dv::DvInfo& d);

}  // namespace kelvor::avi

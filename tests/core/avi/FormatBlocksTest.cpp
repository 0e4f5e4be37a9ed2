#include <gtest/gtest.h>

#include "core/avi/FormatBlocks.h"
#include "core/avi/Fourcc.h"
#include "support/AviBuilder.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

TEST(FormatBlocks, RoundTripsAndStoredLayout) {
    // A DV type 2 video format: the bitmap header, then the DVINFO block, read one after the
    // other as a stream format holds them.
    const Bytes strf = BitmapData("dvsd", true);
    ByteReader r(strf);
    const auto bitmap = ReadBitmapInfoHeader(r);
    const auto dvinfo = ReadDvInfo(r);
    ASSERT_TRUE(bitmap && dvinfo);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(bitmap->biWidth, 720);
    EXPECT_EQ(bitmap->biHeight, 576);
    EXPECT_EQ(bitmap->biCompression, fcc::kDvsd);
    EXPECT_EQ(bitmap->biSizeImage, 144000u);
    EXPECT_EQ(dvinfo->dwDVAAuxSrc, 0x11111111u);
    EXPECT_EQ(dvinfo->dwDVReserved[1], 0x88888888u);
    EXPECT_EQ(Cat({ToBytes(BlockBytes(*bitmap)), ToBytes(BlockBytes(*dvinfo))}), strf);

    const Bytes wave = WaveData();
    ByteReader w(wave);
    const auto pcm = ReadWaveFormatEx(w);
    ASSERT_TRUE(pcm);
    EXPECT_EQ(*pcm, (WaveFormatEx{1, 2, 48000, 192000, 4, 16, 0}));
    EXPECT_EQ(ToBytes(BlockBytes(*pcm)), wave);

    // Signed fields and every byte position survive a round trip.
    const BitmapInfoHeader odd{40, -720, -576, 3, 12, Fourcc("Y41B"), 7, -1, 1, 2, 0xFFFFFFFF};
    const auto bytes = BlockBytes(odd);
    ByteReader back(bytes);
    EXPECT_EQ(ReadBitmapInfoHeader(back), odd);
    const WaveFormatEx ext{0x55, 6, 44100, 1, 0xFFFF, 24, 22};
    const auto wb = BlockBytes(ext);
    ByteReader wr(wb);
    EXPECT_EQ(ReadWaveFormatEx(wr), ext);
}

TEST(FormatBlocks, ShortBlocks) {
    const Bytes b(39, 0);
    ByteReader r(b);
    EXPECT_FALSE(ReadBitmapInfoHeader(r));
    EXPECT_FALSE(r.ok());
    ByteReader d(std::span<const std::uint8_t>(b).first(31));
    EXPECT_FALSE(ReadDvInfo(d));
    EXPECT_FALSE(d.ok());

    // A 16-byte PCMWAVEFORMAT reads with cbSize 0; 15 bytes do not read.
    Bytes wave = WaveData();
    wave[16] = 9;
    for (const std::size_t n : {16u, 17u}) {
        ByteReader w(std::span<const std::uint8_t>(wave).first(n));
        const auto f = ReadWaveFormatEx(w);
        ASSERT_TRUE(f) << n;
        EXPECT_EQ(f->cbSize, 0) << n;
        EXPECT_EQ(f->nSamplesPerSec, 48000u);
    }
    ByteReader w15(std::span<const std::uint8_t>(wave).first(15));
    EXPECT_FALSE(ReadWaveFormatEx(w15));
}

}  // namespace
}  // namespace kelvor::avi

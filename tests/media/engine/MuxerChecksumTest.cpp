// The executable's av_crc must give libavutil's result for every table and length, or every
// archive's checksums would be wrong while its frames still look fine.
#include <dlfcn.h>

#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/crc.h>
}

namespace {

using CrcFunction = std::uint32_t (*)(const AVCRC*, std::uint32_t, const std::uint8_t*,
                                      std::size_t);

TEST(MuxerChecksum, MatchesTheLibraryForEveryTableLengthAndAlignment) {
    const auto library = reinterpret_cast<CrcFunction>(dlsym(RTLD_NEXT, "av_crc"));
    const auto used = reinterpret_cast<CrcFunction>(dlsym(RTLD_DEFAULT, "av_crc"));
    ASSERT_NE(library, nullptr);
    // The libraries' calls go to ours, not to libavutil's.
    ASSERT_NE(used, library);
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(1 << 20);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    for (const AVCRCId id : {AV_CRC_32_IEEE_LE, AV_CRC_32_IEEE, AV_CRC_16_ANSI, AV_CRC_8_ATM}) {
        const AVCRC* table = av_crc_get_table(id);
        for (const std::size_t length : {0u, 1u, 3u, 15u, 16u, 17u, 255u, 4096u, 65537u,
                                         static_cast<unsigned>(bytes.size() - 9)})
            for (const std::size_t offset : {0u, 1u, 5u})
                for (const std::uint32_t start : {0u, 0xffffffffu, 0x1234abcdu})
                    ASSERT_EQ(av_crc(table, start, bytes.data() + offset, length),
                              library(table, start, bytes.data() + offset, length))
                        << "table " << id << " length " << length << " offset " << offset;
    }
}

}  // namespace

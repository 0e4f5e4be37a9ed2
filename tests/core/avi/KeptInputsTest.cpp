// Every input that once broke an AVI parser goes through all of them again.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/avi/AviDemuxer.h"
#include "core/avi/AviHeaderPatcher.h"
#include "core/avi/AviInfo.h"
#include "core/avi/RiffReport.h"
#include "support/AviBuilder.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;

TEST(KeptInputs, EveryParserSurvivesEveryKeptInput) {
    const std::filesystem::path dir = std::filesystem::path(KELVOR_TESTDATA_DIR) / "avi-fuzz";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".avi")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const Bytes bytes = ReadBytes(entry.path());
        MemoryFile f1(bytes);
        const AviInfo p(f1);
        (void)p.VideoCodec();
        MemoryFile f2(bytes);
        const auto o = AviHeaderPatcher::Walk(f2);
        for (const std::int64_t at : {o.CodecOffset, o.ScaleOffset, o.CompressionOffset})
            EXPECT_TRUE(at < 0 || static_cast<std::uint64_t>(at) + 4 <= bytes.size());
        MemoryFile f3(bytes);
        RiffReport r;
        r.RunReport("/kept/" + entry.path().filename().string(), f3);
        EXPECT_TRUE(r.saveEnabled());
        AviDemuxer d;
        if (d.open(std::make_unique<MemoryFile>(bytes))) {
            std::vector<std::uint8_t> buf;
            for (std::size_t s = 0; s < d.streams().size(); ++s)
                for (std::uint64_t i = 0; i < d.chunkCount(s); ++i) {
                    buf.resize(d.chunk(s, i)->Size);
                    EXPECT_TRUE(d.readChunk(s, i, buf));
                }
        }
    }
    EXPECT_GT(files, 0);
}

TEST(KeptInputs, EmptyStreamFormat) {
    const AviInfo p(std::string(KELVOR_TESTDATA_DIR) + "/avi-fuzz/empty-strf.avi");
    EXPECT_TRUE(p.Valid);
    ASSERT_EQ(p.Streams.size(), 1u);
    EXPECT_TRUE(p.Streams[0].StreamFormat.empty());
    EXPECT_EQ(p.VideoCodec(), "dvsd");
}

}  // namespace
}  // namespace kelvor::avi

// The DV decoder and encoder working on two frames at once give what one frame at a time gives,
// in the same order, with the same stand-in pictures for frames that do not decode.
#include <gtest/gtest.h>

#include <algorithm>

#include "media/engine/DvCodec.h"
#include "media/engine/DvFilters.h"
#include "media/filters/FilterTestSupport.h"

namespace kelvor::media {
namespace {

using Frames = std::vector<std::vector<std::uint8_t>>;
using test::Chain;
using test::Collector;
using test::RunToEnd;
using test::SampleSource;

Frames decodeAll(const Frames& in, bool frameThreads, bool planar) {
    Graph g;
    auto source = std::make_shared<SampleSource>(test::DvVideoType(), in);
    auto dec = std::make_shared<DvVideoDecoderFilter>();
    EXPECT_EQ(dec->SetFrameThreads(frameThreads), Code::Ok);
    Collector out;
    EXPECT_EQ(g.AddFilter(source, "source"), Code::Ok);
    EXPECT_EQ(g.AddFilter(dec, "dec"), Code::Ok);
    EXPECT_EQ(g.AddFilter(out.renderer, "out"), Code::Ok);
    EXPECT_EQ(g.ConnectDirect(source->Output(), dec->Input()), Code::Ok);
    // The decoder offers its planar layout first and RGB24 second.
    MediaType mt;
    static_cast<BaseFilter&>(*dec).GetMediaType(dec->Output(), planar ? 0 : 1, mt);
    EXPECT_EQ(g.ConnectDirect(dec->Output(), out.renderer->Input(), &mt), Code::Ok);
    EXPECT_EQ(RunToEnd(g), EventCode::Complete);
    return *out.samples;
}

TEST(DvCodecFilters, TwoFramesAtOnceDecodeAsOneAtATimeWithTheSameStandIns) {
    Frames in = test::DvFramesFor("type=2 frames=11 picture=moving date=2004-05-06T07:08:09");
    ASSERT_EQ(in.size(), 11u);
    // Frames that do not decode: the first (black), one after a good frame, and two in a row.
    const std::vector<std::uint8_t> broken(1000, 0x55);
    for (const std::size_t k : {0u, 3u, 6u, 7u})
        in[k] = broken;
    for (const bool planar : {false, true}) {
        SCOPED_TRACE(planar ? "planar" : "RGB24");
        const Frames one = decodeAll(in, false, planar);
        const Frames two = decodeAll(in, true, planar);
        ASSERT_EQ(one.size(), in.size());  // the odd last frame too
        ASSERT_EQ(two.size(), in.size());
        for (std::size_t k = 0; k < in.size(); ++k)
            EXPECT_TRUE(one[k] == two[k]) << "frame " << k;
        EXPECT_TRUE(std::all_of(two[0].begin(), two[0].end(), [](auto b) { return b == 0; }));
        EXPECT_TRUE(two[3] == two[2]);
        EXPECT_TRUE(two[6] == two[5] && two[7] == two[5]);
        // The square moves, so a picture out of its place would show.
        EXPECT_FALSE(two[4] == two[5]);
        EXPECT_FALSE(two[8] == two[9]);
    }
}

Frames encodeAll(const Frames& pictures, bool frameThreads) {
    Graph g;
    auto source = std::make_shared<SampleSource>(test::Rgb24Type(720, 576), pictures);
    auto enc = std::make_shared<DvVideoEncoderFilter>();
    EXPECT_EQ(enc->SetFrameThreads(frameThreads), Code::Ok);
    enc->SetVideoFormat(DvVideoFormat::Pal);
    Collector out;
    Chain(g, {source, enc, out.renderer});
    EXPECT_EQ(RunToEnd(g), EventCode::Complete);
    return *out.samples;
}

TEST(DvCodecFilters, TwoFramesAtOnceEncodeTheSameBytesInOrder) {
    const Frames in = test::DvFramesFor("type=2 frames=9 picture=moving");
    const Frames pictures = decodeAll(in, false, false);
    ASSERT_EQ(pictures.size(), 9u);
    const Frames one = encodeAll(pictures, false);
    const Frames two = encodeAll(pictures, true);
    ASSERT_EQ(one.size(), 9u);
    ASSERT_EQ(two.size(), 9u);
    for (std::size_t k = 0; k < one.size(); ++k) {
        EXPECT_EQ(two[k].size(), dv::kFrameSize625);
        EXPECT_TRUE(one[k] == two[k]) << "frame " << k;
    }
    EXPECT_FALSE(two[3] == two[4]);
}

}  // namespace
}  // namespace kelvor::media

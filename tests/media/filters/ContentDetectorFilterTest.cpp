#include "media/filters/ContentDetectorFilter.h"

#include <gtest/gtest.h>

#include "core/dv/DvDcPicture.h"
#include "media/engine/DvCodec.h"
#include "media/filters/FilterTestSupport.h"
#include "media/filters/SampleTimeFilter.h"

namespace kelvor::media {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr std::size_t kBytes = kWidth * kHeight * 3;  // 57600: 145 samples, 0.3 n = 43.5

using Frames = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t> flat(std::uint8_t v) {
    return std::vector<std::uint8_t>(kBytes, v);
}

struct Reports {
    std::vector<std::int32_t> ends;
    int streamEnds = 0;
};

// Source, media stamper, detector, null renderer: the frames through one run.
Reports detect(ContentDetectorFilter& detector, const std::shared_ptr<SampleTimeFilter>& stamper,
               const Frames& frames, std::int64_t firstFrame = 0) {
    Reports run;
    detector.OnSceneEnd = [&](std::int32_t f) { run.ends.push_back(f); };
    detector.OnStreamEnd = [&] { ++run.streamEnds; };
    detector.SetSampleTimes(stamper);
    Graph graph;
    // The graph shares the detector; the test keeps it.
    std::shared_ptr<ContentDetectorFilter> shared(&detector, [](ContentDetectorFilter*) {});
    test::Chain(graph, {std::make_shared<test::SampleSource>(test::Rgb24Type(kWidth, kHeight),
                                                             frames, firstFrame),
                        stamper, shared, std::make_shared<NullRenderer>()});
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    detector.OnSceneEnd = nullptr;
    detector.OnStreamEnd = nullptr;
    return run;
}

// The DC picture is the mean of each 8x8 block of the decoded picture, luma and chroma, in both
// standards, to the decoder's rounding: a block out of place or a term misread would be far off.
TEST(ContentDetectorFilter, TheDcPictureIsTheMeanOfEachDecodedBlock) {
    for (const char* standard : {"pal", "ntsc"}) {
        const auto frames = test::DvFramesFor(std::string("type=2 audio=none frames=2 standard=") +
                                              standard + " picture=moving; frames=1 picture=bars");
        ASSERT_EQ(frames.size(), 3u);
        DvVideoDecoder decoder;
        ASSERT_TRUE(decoder.open(false, 1));
        const bool pal = std::string(standard) == "pal";
        const int height = pal ? 576 : 480;
        std::vector<std::uint8_t> planar(PlanarSize(720, height));
        for (const auto& frame : frames) {
            int w = 0, h = 0;
            ASSERT_TRUE(decoder.decodePlanar(frame, planar, w, h));
            const dv::DcLayout layout = dv::FrameDcLayout(frame, dv::DcLayout::None);
            ASSERT_EQ(layout, pal ? dv::DcLayout::Pal420 : dv::DcLayout::Ntsc411);
            dv::DcPicture dc;
            ASSERT_TRUE(dv::ReadDcPicture(frame, layout, dc));
            ASSERT_EQ(dc.Rows * 8, height);
            // Chroma planes: 4:2:0 halves both ways, 4:1:1 quarters the width.
            const int cw = pal ? 360 : 180, chromaRows = pal ? 2 : 1, chromaColumns = pal ? 2 : 4;
            const std::uint8_t* u = planar.data() + 720 * height;
            const std::uint8_t* v = u + static_cast<std::size_t>(cw) * (pal ? height / 2 : height);
            int far = 0;
            for (int by = 0; by < dc.Rows; ++by)
                for (int bx = 0; bx < 90; ++bx) {
                    // The chroma block holding this luma block's top left pixel.
                    const int c0 = (by * 8 / chromaRows) / 8 * 8,
                              c1 = (bx * 8 / chromaColumns) / 8 * 8;
                    int sum = 0, cb = 0, cr = 0;
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x) {
                            sum += planar[static_cast<std::size_t>(by * 8 + y) * 720 + bx * 8 + x];
                            const std::size_t c = static_cast<std::size_t>(c0 + y) * cw + c1 + x;
                            cb += u[c];
                            cr += v[c];
                        }
                    const std::size_t at = static_cast<std::size_t>(by) * 90 + bx;
                    // The right edge of 4:1:1 holds its chroma in other rows; luma only there.
                    const bool lumaOnly = !pal && bx >= 88;
                    far += std::abs(sum / 64 - dc.Y[at]) > 2 ||
                           (!lumaOnly && (std::abs(cb / 64 - dc.Cb[at]) > 2 ||
                                          std::abs(cr / 64 - dc.Cr[at]) > 2));
                }
            EXPECT_EQ(far, 0) << standard;
        }
    }
}

TEST(ContentDetectorFilter, IdentityAndAcceptedTypes) {
    ContentDetectorFilter detector;
    EXPECT_EQ(detector.DisplayName(), "Quennel SceneContenuDetecter");
    EXPECT_EQ(detector.ClassId(), "{0172F519-B1AC-4EDB-8BAA-98A8CBEA8270}");
    EXPECT_FALSE(detector.ModifiesData());
    EXPECT_EQ(test::CheckType(detector, detector.Input(), test::Rgb24Type(8, 8)), Code::Ok);
    EXPECT_EQ(test::CheckType(detector, detector.Input(), test::DvVideoType()), Code::Fail);
    SampleTimeFilter stamper;
    EXPECT_EQ(stamper.DisplayName(), "Quennel dv_Mediastamper");
    EXPECT_EQ(stamper.ClassId(), "{775357D7-A918-4C06-875C-B60697623D34}");
    EXPECT_FALSE(stamper.ModifiesData());
    EXPECT_EQ(test::CheckType(stamper, stamper.Input(), MakeAudioType(MakePcmFormat(48000, 2))),
              Code::Ok);
}

TEST(ContentDetectorFilter, ACutEndsOneSceneAndStopEndsTheLastAtTheStampersFrame) {
    Frames frames;
    for (int i = 0; i < 300; ++i)
        frames.push_back(flat(i < 250 ? 0 : 200));
    ContentDetectorFilter detector;
    auto stamper = std::make_shared<SampleTimeFilter>();
    const Reports run = detect(detector, stamper, frames);
    EXPECT_EQ(run.ends, (std::vector<std::int32_t>{250, 299}));
    EXPECT_EQ(run.streamEnds, 1);
    EXPECT_EQ(stamper->MediaStart(), 299);
    EXPECT_EQ(stamper->MediaStop(), 300);
    // The last picture and the counts carry over: the next run's black first frame is a change.
    const Reports again = detect(detector, stamper, Frames{flat(0), flat(0)});
    EXPECT_EQ(again.ends, (std::vector<std::int32_t>{0, 1}));
}

TEST(ContentDetectorFilter, FadesAndChangesOfSixteenEndNothing) {
    // Each picture changes a growing part of the samples, the part growing by 1.5 every two
    // pictures: counts rise past 0.3 n but never to twice one of the three before.
    Frames fade;
    std::vector<std::size_t> part = {4, 4};
    while (part.back() < kBytes / ContentDetectorFilter::kStride)
        part.push_back(part[part.size() - 2] * 3 / 2);
    for (std::size_t k = 0; k < part.size(); ++k) {
        std::vector<std::uint8_t> f(kBytes, 0);
        for (std::size_t b = 0; b < kBytes; ++b)
            if (k % 2 == 1 && b / ContentDetectorFilter::kStride < part[k])
                f[b] = 100;
        fade.push_back(std::move(f));
    }
    ContentDetectorFilter detector;
    auto stamper = std::make_shared<SampleTimeFilter>();
    EXPECT_EQ(detect(detector, stamper, fade).ends,
              std::vector<std::int32_t>{static_cast<std::int32_t>(fade.size() - 1)});
    EXPECT_GT(detector.History()[0], 44);

    ContentDetectorFilter sixteen;
    Frames steps = {flat(100), flat(116), flat(100), flat(116), flat(133)};
    const Reports run = detect(sixteen, stamper, steps);
    // A new detector compares its first picture with an all-zero one; then only 116 to 133
    // counts.
    EXPECT_EQ(run.ends, (std::vector<std::int32_t>{0, 4, 4}));
    EXPECT_EQ(sixteen.History(), (std::array<std::int64_t, 3>{146, 0, 0}));
}

TEST(ContentDetectorFilter, TheFrameNumberIsTheLow32BitsOfTheStampersMediaStart) {
    ContentDetectorFilter detector;
    auto stamper = std::make_shared<SampleTimeFilter>();
    const std::int64_t first = (std::int64_t{1} << 32) + 40;
    const Reports run = detect(detector, stamper, Frames{flat(0), flat(0), flat(255)}, first);
    EXPECT_EQ(run.ends, (std::vector<std::int32_t>{42, 42}));
}

}  // namespace
}  // namespace kelvor::media

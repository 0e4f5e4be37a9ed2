#include "media/filters/InlayFilter.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <atomic>
#include <mutex>
#include <set>

#include "core/avi/AviDemuxer.h"
#include "core/scenes/DetectorTestFrames.h"
#include "fixtures/DvFixture.h"
#include "media/engine/DvCodec.h"
#include "media/engine/DvFilters.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/FilterTestSupport.h"
#include "support/TempDir.h"

namespace kelvor::media {
namespace {

using Frames = std::vector<std::vector<std::uint8_t>>;
using Pass = InlayFilter::DrawPass;

// Text drawing needs a QGuiApplication; the offscreen platform needs no display.
void ensureGuiApplication() {
    if (QGuiApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_filters";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the test program
}

class InlayFilterTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }
};

// A detector that has seen one DV frame with this date (seconds after 15 March 2004 10:00:00)
// or without any.
std::shared_ptr<DateDetectorFilter> detectorAfter(std::optional<long long> seconds) {
    auto detector = std::make_shared<DateDetectorFilter>();
    scenes::test::FrameSpec frame;
    frame.Seconds = seconds;
    Graph graph;
    test::Chain(graph, {std::make_shared<test::SampleSource>(
                            test::DvVideoType(), Frames{scenes::test::makeFrame(frame)}),
                        detector, std::make_shared<NullRenderer>()});
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    return detector;
}

std::vector<std::uint8_t> grey(int w, int h) {
    return std::vector<std::uint8_t>(Rgb24Stride(w) * static_cast<std::size_t>(h), 0x80);
}

struct Result {
    Frames pictures;
    std::vector<Pass> passes;
};

// Pictures through the inlay alone; its record comes from the detector's latest frame.
Result superpose(const std::shared_ptr<InlayFilter>& inlay, int w, int h, int count,
                 std::int64_t firstFrame = 0) {
    Result r;
    inlay->SetDrawTrace([&](const Pass& p) { r.passes.push_back(p); });
    Graph graph;
    test::Collector out;
    test::Chain(graph, {std::make_shared<test::SampleSource>(test::Rgb24Type(w, h),
                                                             Frames(count, grey(w, h)), firstFrame),
                        inlay, out.renderer});
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    inlay->SetDrawTrace(nullptr);
    r.pictures = *out.samples;
    return r;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// The box of the pixels that differ from the grey background, in top-down coordinates.
Box changed(const std::vector<std::uint8_t>& picture, int w, int h) {
    Box b;
    const std::size_t stride = Rgb24Stride(w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &picture[static_cast<std::size_t>(h - 1 - y) * stride +
                                             static_cast<std::size_t>(3 * x)];
            if (p[0] == 0x80 && p[1] == 0x80 && p[2] == 0x80)
                continue;
            b.left = std::min(b.left, x);
            b.right = std::max(b.right, x);
            b.top = std::min(b.top, y);
            b.bottom = std::max(b.bottom, y);
        }
    return b;
}

TEST(InlayFilterWithoutGui, RefusesToStartWithoutAGuiApplication) {
    if (QGuiApplication::instance())
        GTEST_SKIP() << "another test of this process made the application";
    Graph graph;
    test::Chain(
        graph,
        {std::make_shared<test::SampleSource>(test::Rgb24Type(16, 16), Frames(1, grey(16, 16))),
         std::make_shared<InlayFilter>(nullptr, nullptr), std::make_shared<NullRenderer>()});
    EXPECT_EQ(graph.Run(), Code::Fail);
}

TEST_F(InlayFilterTest, IdentityTypesAndArial) {
    InlayFilter inlay(nullptr, nullptr);
    EXPECT_EQ(inlay.DisplayName(), "Quennel cf_Superposer");
    EXPECT_EQ(inlay.ClassId(), "{F428C64E-ADDD-4EEC-BAC1-FDE3F861815A}");
    EXPECT_EQ(test::CheckType(inlay, inlay.Input(), test::Rgb24Type(720, 576)), Code::Ok);
    EXPECT_EQ(test::CheckType(inlay, inlay.Input(), test::DvVideoType()), Code::TypeNotAccepted);
    MediaType noFormat = test::Rgb24Type(720, 576);
    noFormat.formatType = FormatType::None;
    EXPECT_EQ(test::CheckType(inlay, inlay.Input(), noFormat), Code::TypeNotAccepted);

    auto shared = std::make_shared<InlayFilter>(nullptr, nullptr);
    Graph graph;
    test::Chain(
        graph, {std::make_shared<test::SampleSource>(test::Rgb24Type(360, 288), Frames{}), shared});
    MediaType out;
    BaseFilter& base = *shared;
    ASSERT_EQ(base.GetMediaType(shared->Output(), 0, out), Code::Ok);
    EXPECT_EQ(out.subtype, Subtype::Rgb24);
    EXPECT_EQ(out.videoInfo()->bmiHeader.biSizeImage, 360u * 288 * 3);
    EXPECT_EQ(base.GetMediaType(shared->Output(), 1, out), Code::NoMoreItems);
    EXPECT_EQ(test::CheckType(base, shared->Output(), test::Rgb24Type(100, 100)), Code::Ok);
    EXPECT_EQ(test::CheckType(base, shared->Output(), test::DvVideoType()), Code::TypeNotAccepted);

    // The inlay's default font is Arial; fontconfig gives its metric twin.
    EXPECT_EQ(QFontInfo(QFont("Arial")).family(), "Liberation Sans");
}

TEST_F(InlayFilterTest, DefaultsPlaceTheLinesRightAlignedOn648EndingAt518) {
    auto inlay = std::make_shared<InlayFilter>(detectorAfter(0), [] { return 1; });
    const Result r = superpose(inlay, 720, 576, 1);
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_EQ(inlay->FontHeight(), 28);  // 21 points at 96 dots per inch
    EXPECT_EQ(inlay->Line1(), "3/15/2004");
    EXPECT_EQ(inlay->Line2(), "10:00:00");
    const Box b = changed(r.pictures[0], 720, 576);
    // Tolerances: the pen of each line ends on x = 648, and its ink ends there less the last
    // digit's right side bearing (under 2 pixels at 28 pixels) plus the 1-pixel border. Line 2's
    // box is rows 490 to 518 (h = 28); digits stand on the baseline, the font's ascent (25 to 26
    // pixels) below the top, so their ink ends 2 to 3 pixels above 518, and the border adds 1.
    EXPECT_GE(b.right, 648 - 2);
    EXPECT_LE(b.right, 648 + 1);
    EXPECT_GE(b.bottom, 518 - 4);
    EXPECT_LE(b.bottom, 518);
    // Line 1's box starts at 462; its digits' ink starts about ascent - cap height (5 pixels)
    // lower, less the border.
    EXPECT_GE(b.top, 462);
    EXPECT_LE(b.top, 462 + 6);
    EXPECT_LT(b.left, 648 - 100);
}

TEST_F(InlayFilterTest, BorderPassesComeFirstAndTheirWidthIsReadAtEveryDrawing) {
    std::atomic<int> border{0};
    auto inlay = std::make_shared<InlayFilter>(detectorAfter(0), [&] { return border.load(); });
    Result r = superpose(inlay, 360, 288, 1);
    ASSERT_EQ(r.passes.size(), 2u);
    EXPECT_FALSE(r.passes[0].Border);
    EXPECT_EQ(r.passes[0].Line, 1);
    EXPECT_EQ(r.passes[1].Line, 2);
    const Box thin = changed(r.pictures[0], 360, 288);

    border = 4;
    r = superpose(inlay, 360, 288, 1);
    ASSERT_EQ(r.passes.size(), 2u * 82);
    for (int line = 0; line < 2; ++line) {
        std::set<std::pair<int, int>> offsets;
        for (int k = 0; k < 81; ++k) {
            const Pass& p = r.passes[static_cast<std::size_t>(line * 82 + k)];
            EXPECT_TRUE(p.Border);
            EXPECT_EQ(p.Line, line + 1);
            offsets.insert({p.Dx, p.Dy});
        }
        EXPECT_EQ(offsets.size(), 81u);
        EXPECT_EQ(*offsets.begin(), std::make_pair(-4, -4));
        EXPECT_EQ(*offsets.rbegin(), std::make_pair(4, 4));
        const Pass& text = r.passes[static_cast<std::size_t>(line * 82 + 81)];
        EXPECT_FALSE(text.Border);
        EXPECT_EQ(std::make_pair(text.Dx, text.Dy), std::make_pair(0, 0));
    }
    const Box wide = changed(r.pictures[0], 360, 288);
    EXPECT_EQ(wide.right - thin.right, 4);
    EXPECT_EQ(thin.left - wide.left, 4);
    // The border is black: the darkest pixel of the picture is black only with a border.
    EXPECT_NE(std::find(r.pictures[0].begin(), r.pictures[0].end(), 0), r.pictures[0].end());

    border = 99;  // a stored value out of range draws the widest border
    EXPECT_EQ(superpose(inlay, 360, 288, 1).passes.size(), 2u * 82);
}

TEST_F(InlayFilterTest, PicturesPassUnchangedWhenThereIsNothingToDraw) {
    const auto unchanged = [](const Result& r, int w, int h) {
        for (const auto& p : r.pictures)
            if (p != grey(w, h))
                return false;
        return r.passes.empty();
    };
    // No datecode, display kind 0: both lines empty.
    auto noDate = std::make_shared<InlayFilter>(detectorAfter(std::nullopt), nullptr);
    EXPECT_TRUE(unchanged(superpose(noDate, 360, 288, 3), 360, 288));
    EXPECT_EQ(noDate->Line1(), "");
    EXPECT_EQ(noDate->Line2(), "");
    // Disabled, no detector, an alignment that is none of the three.
    auto dated = detectorAfter(0);
    auto disabled = std::make_shared<InlayFilter>(dated, nullptr);
    disabled->SetEnabled(false);
    EXPECT_TRUE(unchanged(superpose(disabled, 360, 288, 2), 360, 288));
    EXPECT_TRUE(unchanged(superpose(std::make_shared<InlayFilter>(nullptr, nullptr), 360, 288, 2),
                          360, 288));
    auto nowhere = std::make_shared<InlayFilter>(dated, nullptr);
    nowhere->SetPosition(500, 500, 3);
    EXPECT_TRUE(unchanged(superpose(nowhere, 360, 288, 2), 360, 288));
    // Position 1000, 1000 left-aligned starts the text at the right edge, outside the picture
    // (a border would reach back into it by its width).
    auto outside = std::make_shared<InlayFilter>(dated, [] { return 0; });
    outside->SetPosition(1500, 1000, 0);
    EXPECT_EQ(outside->PositionX(), 1000);
    const Result r = superpose(outside, 360, 288, 1);
    EXPECT_EQ(r.pictures[0], grey(360, 288));
    EXPECT_EQ(r.passes.size(), 2u);
}

// Planar pictures (when the graph asks for them) get the same lines in the same place as RGB
// ones, and every sample the lines do not touch keeps its byte.
TEST_F(InlayFilterTest, PlanarPicturesGetTheSameLinesAndKeepEveryOtherByte) {
    auto dated = detectorAfter(0);
    for (const FourCC subtype : {Subtype::I420, Subtype::Y41B}) {
        const int w = 720, h = subtype == Subtype::I420 ? 576 : 480;
        const MediaType type = MakeVideoType(subtype, MakePlanarInfo(subtype, w, h, 400000));
        const std::size_t luma = static_cast<std::size_t>(w) * h;
        std::vector<std::uint8_t> picture(type.sampleSize);
        // A mid grey with a gradient, so that a conversion of the whole picture would show.
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<std::uint8_t>(i < luma ? 60 + (i % w) / 8 : 110 + i % 37);

        auto refuses = std::make_shared<InlayFilter>(dated, nullptr);
        EXPECT_EQ(test::CheckType(*refuses, refuses->Input(), type), Code::TypeNotAccepted);

        auto inlay = std::make_shared<InlayFilter>(dated, [] { return 1; });
        inlay->SetPlanarInput(true);
        Graph graph;
        test::Collector out;
        test::Chain(graph, {std::make_shared<test::SampleSource>(type, Frames{picture}), inlay,
                            out.renderer});
        ASSERT_EQ(test::RunToEnd(graph), EventCode::Complete);
        EXPECT_EQ(inlay->Output().CurrentMediaType().subtype, subtype);
        ASSERT_EQ(out.samples->size(), 1u);
        const auto& drawn = (*out.samples)[0];
        ASSERT_EQ(drawn.size(), picture.size());

        Box planar;
        std::size_t changedChroma = 0;
        for (std::size_t i = 0; i < picture.size(); ++i) {
            if (drawn[i] == picture[i])
                continue;
            if (i >= luma) {
                ++changedChroma;
                continue;
            }
            const int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
            planar = {std::min(planar.left, x), std::min(planar.top, y), std::max(planar.right, x),
                      std::max(planar.bottom, y)};
        }
        const Box rgb = changed(
            superpose(std::make_shared<InlayFilter>(dated, [] { return 1; }), w, h, 1).pictures[0],
            w, h);
        EXPECT_NEAR(planar.left, rgb.left, 1) << FourCCText(subtype);
        EXPECT_NEAR(planar.right, rgb.right, 1) << FourCCText(subtype);
        EXPECT_NEAR(planar.top, rgb.top, 1) << FourCCText(subtype);
        EXPECT_NEAR(planar.bottom, rgb.bottom, 1) << FourCCText(subtype);
        // Chroma changes only under the lines: at most the box's four-pixel blocks, in both
        // planes.
        EXPECT_GT(changedChroma, 0u);
        EXPECT_LE(changedChroma,
                  2u * (planar.right - planar.left + 5) * (planar.bottom - planar.top + 3) / 4);
        // The text is light and its border dark on the grey.
        const auto [low, high] = std::minmax_element(drawn.begin(), drawn.begin() + luma);
        EXPECT_LE(*low, 20);
        EXPECT_GE(*high, 230);
    }
}

TEST_F(InlayFilterTest, AutomaticDisplayCountsDownAsTheDetectorDoes) {
    auto inlay = std::make_shared<InlayFilter>(detectorAfter(0), nullptr);
    inlay->SetBold(false);
    inlay->SetDisplayFrames(125);
    inlay->SetTrigger(0);
    std::atomic<int> drawnPictures{0};
    Result r = superpose(inlay, 180, 144, 130);
    for (const auto& p : r.pictures)
        drawnPictures += p != grey(180, 144);
    EXPECT_EQ(drawnPictures.load(), 123);  // the display length - 2
    EXPECT_EQ(inlay->Countdown(), 0);
    // Off, the lines show on every picture; with display kind 1 line 2 would be the timecode,
    // which this frame does not have.
    inlay->SetAutoMode(false);
    r = superpose(inlay, 180, 144, 5);
    EXPECT_EQ(r.passes.size(), 5u * 2 * 10);
    inlay->SetDisplayKind(1);
    r = superpose(inlay, 180, 144, 5);
    EXPECT_TRUE(r.passes.empty());
    EXPECT_EQ(inlay->Line1(), "");
    EXPECT_EQ(inlay->Line2(), "");
}

TEST_F(InlayFilterTest, MediaTimesCountThePicturesWhenTheInputHasNone) {
    auto inlay = std::make_shared<InlayFilter>(nullptr, nullptr);
    Graph graph;
    auto sink = std::make_shared<NullRenderer>();
    std::vector<std::int64_t> starts;
    sink->SetSampleCallback([&](const MediaSample& s) {
        std::int64_t a = -1, b = -1;
        EXPECT_EQ(s.GetMediaTime(a, b), Code::Ok);
        EXPECT_EQ(b, a + 1);
        starts.push_back(a);
    });
    test::Chain(graph, {std::make_shared<test::SampleSource>(test::Rgb24Type(16, 16),
                                                             Frames(3, grey(16, 16)), -1),
                        inlay, sink});
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    EXPECT_EQ(starts, (std::vector<std::int64_t>{0, 1, 2}));
}

TEST_F(InlayFilterTest, EachDecodedPictureShowsItsOwnFramesTimecode) {
    kelvor::test::TempDir dir;
    const std::string path = (dir / "in.avi").string();
    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile(
        path, "type=2 frames=40 picture=moving date=2006-01-01T00:00:00 tc=02:00:00:00", error))
        << error;
    Frames dv;
    avi::AviDemuxer demuxer;
    ASSERT_TRUE(demuxer.open(path));
    const auto v = static_cast<std::size_t>(demuxer.videoStream());
    for (std::uint64_t i = 0; i < demuxer.chunkCount(v); ++i) {
        std::vector<std::uint8_t> buf(dv::kFrameSize625);
        buf.resize(demuxer.readChunk(v, i, buf).value_or(0));
        dv.push_back(std::move(buf));
    }
    auto detector = std::make_shared<DateDetectorFilter>();
    auto decoder = std::make_shared<DvVideoDecoderFilter>();
    auto inlay = std::make_shared<InlayFilter>(detector, [] { return 0; });
    inlay->SetAutoMode(false);
    inlay->SetDisplayKind(1);
    std::vector<std::string> shown;
    inlay->SetDrawTrace([&](const Pass& p) { shown.push_back(p.Text); });
    Graph graph;
    test::Chain(graph, {std::make_shared<test::SampleSource>(test::DvVideoType(), dv), detector,
                        decoder, inlay, std::make_shared<NullRenderer>()});
    // The detector runs ahead of the inlay by the two queues.
    detector->Output().SetQueued(true, 4);
    decoder->GetOutputPin(0)->SetQueued(true, 8);
    EXPECT_EQ(test::RunToEnd(graph), EventCode::Complete);
    ASSERT_EQ(shown.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(shown[static_cast<std::size_t>(i)],
                  scenes::TimecodeText(
                      {2, 0, static_cast<std::uint8_t>(i / 25), static_cast<std::uint8_t>(i % 25)}))
            << i;
}

}  // namespace
}  // namespace kelvor::media

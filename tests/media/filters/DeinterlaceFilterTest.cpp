#include "media/filters/DeinterlaceFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

#include "media/engine/DvCodec.h"
#include "media/filters/FilterTestSupport.h"

namespace kelvor::media {
namespace {

struct Bgr {
    int b = 0, g = 0, r = 0;
};

// A top-down picture of whole pixels, written into the layout's rows on demand.
struct Picture {
    int w, h;
    std::vector<Bgr> px;
    Picture(int width, int height, Bgr fill = {}) : w(width), h(height), px(width * height, fill) {}
    Bgr& at(int x, int y) { return px[static_cast<std::size_t>(y * w + x)]; }

    Rgb24Layout layout(bool bottomUp) const { return {w, h, Rgb24Stride(w), bottomUp}; }
    std::vector<std::uint8_t> bytes(bool bottomUp) const {
        const auto l = layout(bottomUp);
        std::vector<std::uint8_t> out(l.Bytes(), 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Bgr& p = px[static_cast<std::size_t>(y * w + x)];
                const std::size_t o =
                    static_cast<std::size_t>(bottomUp ? h - 1 - y : y) * l.Stride +
                    static_cast<std::size_t>(3 * x);
                out[o] = static_cast<std::uint8_t>(p.b);
                out[o + 1] = static_cast<std::uint8_t>(p.g);
                out[o + 2] = static_cast<std::uint8_t>(p.r);
            }
        return out;
    }
};

std::vector<std::uint8_t> run(const std::vector<std::uint8_t>& in, const Rgb24Layout& l) {
    std::vector<std::uint8_t> out(in.size());
    EXPECT_TRUE(DeinterlaceRgb24(in, out, l));
    return out;
}

// The routine as written down, with its two work pictures and two masks, to compare against.
std::vector<std::uint8_t> reference(const std::vector<std::uint8_t>& in, const Rgb24Layout& l) {
    auto px = [&](const std::vector<std::uint8_t>& b, int x, int y, int c) {
        const int row = l.BottomUp ? l.Height - 1 - y : y;
        return static_cast<int>(
            b[static_cast<std::size_t>(row) * l.Stride + static_cast<std::size_t>(3 * x + c)]);
    };
    std::vector<std::uint8_t> out = in;
    std::vector<std::vector<bool>> m1(l.Height, std::vector<bool>(l.Width)), m2 = m1;
    for (int y = 1; y < l.Height - 1; y += 2)
        for (int x = 0; x < l.Width; ++x) {
            auto d = [&](int c) {
                return (px(in, x, y - 1, c) - px(in, x, y, c)) *
                       (px(in, x, y + 1, c) - px(in, x, y, c));
            };
            m1[y][x] = 3 * d(2) + 6 * d(1) + d(0) > 3000;
        }
    for (int y = 1; y < l.Height; y += 2)
        for (int x = 0; x < l.Width; ++x)
            m2[y][x] = m1[y][x] && ((x > 0 && m1[y][x - 1]) || (x < l.Width - 1 && m1[y][x + 1]));
    for (int y = 1; y < l.Height - 1; y += 2)
        for (int x = 0; x < l.Width; ++x)
            if (m2[y][x])
                for (int c = 0; c < 3; ++c) {
                    const int row = l.BottomUp ? l.Height - 1 - y : y;
                    out[static_cast<std::size_t>(row) * l.Stride +
                        static_cast<std::size_t>(3 * x + c)] =
                        static_cast<std::uint8_t>((px(in, x, y - 1, c) + px(in, x, y + 1, c)) / 2);
                }
    return out;
}

TEST(Deinterlace, UniformPicturesAndIsolatedMarksStayAsTheyAre) {
    Picture flat(7, 6, {10, 200, 30});
    for (bool bottomUp : {true, false})
        EXPECT_EQ(run(flat.bytes(bottomUp), flat.layout(bottomUp)), flat.bytes(bottomUp));
    // One combed pixel on row 1 whose neighbours are not combed.
    Picture lone(7, 6, {100, 100, 100});
    lone.at(3, 1) = {100, 100, 200};
    EXPECT_EQ(run(lone.bytes(true), lone.layout(true)), lone.bytes(true));
}

TEST(Deinterlace, CombThresholdWeightsAndAveragingAreExact) {
    // Two neighbouring pixels of row 1 differ from rows 0 and 2 in one colour by delta; the comb
    // value is weight x delta^2, marked above 3000: red 3 (32 marks, 31 not), green 6 (23, 22),
    // blue 1 (55, 54).
    struct Case {
        int colour;  // 0 blue, 1 green, 2 red
        int delta;
        bool combed;
    } cases[] = {{2, 32, true},  {2, 31, false}, {1, 23, true},
                 {1, 22, false}, {0, 55, true},  {0, 54, false}};
    for (const Case& c : cases) {
        Picture p(4, 4, {100, 101, 102});
        for (int x : {1, 2}) {
            Bgr& v = p.at(x, 1);
            (c.colour == 0 ? v.b : c.colour == 1 ? v.g : v.r) += c.delta;
        }
        auto expected = p;
        if (c.combed)
            for (int x : {1, 2})
                expected.at(x, 1) = {100, 101, 102};
        EXPECT_EQ(run(p.bytes(true), p.layout(true)), expected.bytes(true))
            << c.colour << " " << c.delta;
    }
    // The average of the rows above and below drops the remainder.
    Picture odd(4, 4, {100, 100, 100});
    for (int x = 0; x < 4; ++x)
        odd.at(x, 2) = {101, 103, 105};
    for (int x : {1, 2})
        odd.at(x, 1) = {250, 250, 250};
    auto averaged = odd;
    for (int x : {1, 2})
        averaged.at(x, 1) = {100, 101, 102};
    EXPECT_EQ(run(odd.bytes(true), odd.layout(true)), averaged.bytes(true));
    // Opposite differences above and below (an edge, not a comb) give a negative value.
    Picture edge(4, 4, {0, 0, 0});
    for (int x = 0; x < 4; ++x) {
        edge.at(x, 1) = {128, 128, 128};
        edge.at(x, 2) = {255, 255, 255};
        edge.at(x, 3) = {255, 255, 255};
    }
    EXPECT_EQ(run(edge.bytes(false), edge.layout(false)), edge.bytes(false));
}

TEST(Deinterlace, RowsCountFromTheTopAndTheLastRowStays) {
    // Five rows: odd rows 1 and 3 are processed; with four rows row 3 is the last and stays.
    for (int height : {5, 4}) {
        Picture p(3, height, {0, 0, 0});
        for (int x = 0; x < 3; ++x) {
            p.at(x, 1) = {0, 200, 0};
            p.at(x, 3) = {0, 200, 0};
        }
        for (bool bottomUp : {true, false}) {
            auto expected = p;
            for (int x = 0; x < 3; ++x) {
                expected.at(x, 1) = {0, 0, 0};
                if (height == 5)
                    expected.at(x, 3) = {0, 0, 0};
            }
            EXPECT_EQ(run(p.bytes(bottomUp), p.layout(bottomUp)), expected.bytes(bottomUp))
                << height << " " << bottomUp;
        }
    }
}

TEST(Deinterlace, MatchesTheRoutineAsWrittenOnNoisyPicturesInPlace) {
    std::mt19937 random(7);
    for (int round = 0; round < 24; ++round) {
        // The last rounds are as wide as a DV picture, with smooth blocks beside combing ones.
        const bool wide = round >= 20;
        const int w = wide ? 720 - 8 * (round - 20) : 1 + static_cast<int>(random() % 40);
        const int h = 1 + static_cast<int>(random() % 30);
        const bool bottomUp = round % 2 == 0;
        Picture p(w, h);
        // Stripes of two levels with noise, so some pixels comb and some do not.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int spread = wide && (x / 37) % 3 == 0 ? 8 : 60;
                const int base = (y % 2) * static_cast<int>(random() % (2 * spread));
                p.at(x, y) = {base + static_cast<int>(random() % spread),
                              base + static_cast<int>(random() % spread),
                              base + static_cast<int>(random() % spread)};
            }
        auto bytes = p.bytes(bottomUp);
        const auto expected = reference(bytes, p.layout(bottomUp));
        ASSERT_TRUE(DeinterlaceRgb24(bytes, bytes, p.layout(bottomUp)));
        ASSERT_EQ(bytes, expected) << w << "x" << h;
    }
    std::vector<std::uint8_t> small(10);
    EXPECT_FALSE(DeinterlaceRgb24(small, small, {4, 4, 12, true}));
}

// On a planar picture only the luma changes: a run of two combed samples is averaged from the
// rows above and below once the product of its differences passes 221, a lone one stays.
TEST(Deinterlace, LumaOfPlanarPicturesMarksAtTheGreyEquivalentBound) {
    std::vector<std::uint8_t> scratch;
    for (const auto& [delta, combed] : {std::pair{16, true}, std::pair{15, false}}) {
        std::vector<std::uint8_t> y(8 * 4, 100);
        y[8 + 2] = y[8 + 3] = static_cast<std::uint8_t>(100 + delta);  // 16 x 14 > 221 >= 15 x 13
        y[8 + 6] = 200;                                                // isolated
        y[16 + 2] = y[16 + 3] = 102;  // the average drops the remainder
        auto expected = y;
        if (combed)
            expected[8 + 2] = expected[8 + 3] = 101;
        ASSERT_TRUE(DeinterlaceLuma(y, 8, 4, 8, scratch));
        EXPECT_EQ(y, expected) << delta;
    }
    std::vector<std::uint8_t> small(10);
    EXPECT_FALSE(DeinterlaceLuma(small, 4, 4, 4, scratch));

    // Through the filter an I420 picture keeps its chroma planes byte for byte.
    std::vector<std::uint8_t> picture(8 * 6 * 3 / 2, 128);
    std::fill_n(picture.begin(), 8 * 6, std::uint8_t{60});
    for (int x = 2; x < 5; ++x)
        picture[8 * 3 + static_cast<std::size_t>(x)] = 220;
    auto expected = picture;
    for (int x = 2; x < 5; ++x)
        expected[8 * 3 + static_cast<std::size_t>(x)] = 60;
    Graph graph;
    test::Collector out;
    test::Chain(graph,
                {std::make_shared<test::SampleSource>(
                     MakeVideoType(Subtype::I420, MakePlanarInfo(Subtype::I420, 8, 6, 400000)),
                     std::vector<std::vector<std::uint8_t>>{picture}),
                 std::make_shared<DeinterlaceFilter>(), out.renderer});
    test::RunToEnd(graph);
    ASSERT_EQ(out.samples->size(), 1u);
    EXPECT_EQ(out.samples->front(), expected);
}

TEST(DeinterlaceFilter, RefusesAllButRgb24AndFailsPicturesSmallerThanTheirType) {
    DeinterlaceFilter filter;
    EXPECT_EQ(filter.DisplayName(), "Quennel dv_deinter");
    EXPECT_EQ(filter.ClassId(), "{4D5B0165-D80F-4620-BC2D-F9C84F518C84}");
    EXPECT_TRUE(filter.ModifiesData());
    EXPECT_EQ(test::CheckType(filter, filter.Input(), test::DvVideoType()), Code::TypeNotAccepted);

    Picture p(8, 6, {1, 2, 3});
    for (int x = 2; x < 5; ++x)
        p.at(x, 3) = {1, 250, 3};
    auto expected = p;
    for (int x = 2; x < 5; ++x)
        expected.at(x, 3) = {1, 2, 3};
    Graph graph;
    test::Collector out;
    test::Chain(
        graph,
        {std::make_shared<test::SampleSource>(
             test::Rgb24Type(8, 6),
             std::vector<std::vector<std::uint8_t>>{p.bytes(true), std::vector<std::uint8_t>(10)}),
         std::make_shared<DeinterlaceFilter>(), out.renderer});
    EXPECT_EQ(test::RunToEnd(graph), EventCode::ErrorAbort);
    ASSERT_GE(out.samples->size(), 1u);
    EXPECT_EQ(out.samples->front(), expected.bytes(true));
    EXPECT_EQ(graph.LastError(), Code::Fail);
}

}  // namespace
}  // namespace kelvor::media

#include "media/filters/DeinterlaceFilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "media/engine/DvCodec.h"
#include "media/engine/VectorClones.h"

namespace kelvor::media {
namespace {

constexpr int kCombThreshold = 3000;
constexpr int kRedWeight = 3;
constexpr int kGreenWeight = 6;
constexpr int kBlueWeight = 1;

// Pixels handled as one block: a loop of a fixed count, which the compiler turns into vector
// code at the build's optimisation level (a loop of any count it leaves scalar).
constexpr int kBlockPixels = 16;

inline void markBlock(const std::uint8_t* __restrict u, const std::uint8_t* __restrict c,
                      const std::uint8_t* __restrict d, int pixels,
                      std::uint8_t* __restrict marks) {
    std::int32_t products[3 * kBlockPixels];
    for (int i = 0; i < 3 * pixels; ++i)
        products[i] = (u[i] - c[i]) * (d[i] - c[i]);
    for (int x = 0; x < pixels; ++x) {
        const std::int32_t* p = products + 3 * x;
        marks[x] = kBlueWeight * p[0] + kGreenWeight * p[1] + kRedWeight * p[2] > kCombThreshold;
    }
}

// Whether a block can hold a mark at all: no comb value exceeds the sum of the weights times the
// largest difference upwards times the largest downwards, and in the still or smooth parts of a
// picture that bound stays under the threshold, so most blocks need no products.
inline bool blockMayComb(const std::uint8_t* __restrict u, const std::uint8_t* __restrict c,
                         const std::uint8_t* __restrict d) {
    std::uint8_t up = 0, down = 0;
    for (int i = 0; i < 3 * kBlockPixels; ++i) {
        const std::uint8_t du = u[i] > c[i] ? u[i] - c[i] : c[i] - u[i];
        const std::uint8_t dd = d[i] > c[i] ? d[i] - c[i] : c[i] - d[i];
        up = du > up ? du : up;
        down = dd > down ? dd : down;
    }
    constexpr int kWeights = kRedWeight + kGreenWeight + kBlueWeight;
    return kWeights * up * down > kCombThreshold;
}

// Marks the pixels of row c whose comb value against rows u (above) and d (below) is high.
KELVOR_VECTOR_CLONES
void markCombs(const std::uint8_t* u, const std::uint8_t* c, const std::uint8_t* d, int width,
               std::uint8_t* marks) {
    int x = 0;
    for (; width - x >= kBlockPixels; x += kBlockPixels) {
        if (blockMayComb(u + 3 * x, c + 3 * x, d + 3 * x))
            markBlock(u + 3 * x, c + 3 * x, d + 3 * x, kBlockPixels, marks + x);
        else
            std::memset(marks + x, 0, kBlockPixels);
    }
    markBlock(u + 3 * x, c + 3 * x, d + 3 * x, width - x, marks + x);
}

// Whether none of the eight marks from x on is set.
inline bool noMarks8(const std::uint8_t* marks) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, marks, sizeof eight);
    return eight == 0;
}

}  // namespace

bool DeinterlaceRgb24(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      const Rgb24Layout& layout) {
    const int w = layout.Width;
    const int h = layout.Height;
    if (w <= 0 || h <= 0 || layout.Stride / 3 < static_cast<std::size_t>(w) ||
        in.size() / layout.Stride < static_cast<std::size_t>(h) ||
        out.size() / layout.Stride < static_cast<std::size_t>(h))
        return false;
    if (in.data() != out.data())
        std::memcpy(out.data(), in.data(), layout.Bytes());
    // Row r counted from the top. Only odd rows are written, each after its marks were taken,
    // so in and out may be one buffer.
    auto offset = [&](int r) {
        const int memoryRow = layout.BottomUp ? h - 1 - r : r;
        return static_cast<std::size_t>(memoryRow) * layout.Stride;
    };
    // The marks have a blank pixel on either side, so the first and last pixels need no test.
    std::vector<std::uint8_t> padded(static_cast<std::size_t>(w) + 2, 0);
    std::uint8_t* marks = padded.data() + 1;
    for (int r = 1; r < h - 1; r += 2) {
        const std::uint8_t* up = in.data() + offset(r - 1);
        const std::uint8_t* down = in.data() + offset(r + 1);
        markCombs(up, in.data() + offset(r), down, w, marks);
        std::uint8_t* o = out.data() + offset(r);
        for (int x = 0; x < w; ++x) {
            // Whole runs without a mark are passed over, as most of a picture does not comb.
            while (w - x >= 8 && noMarks8(marks + x))
                x += 8;
            if (x >= w)
                break;
            // An isolated mark is dropped.
            if (!(marks[x] & (marks[x - 1] | marks[x + 1])))
                continue;
            for (int i = 3 * x; i < 3 * x + 3; ++i)
                o[i] = static_cast<std::uint8_t>((up[i] + down[i]) >> 1);
        }
    }
    return true;
}

namespace {

// The comb value of a grey picture in the colour routine is the weights' sum times the product of
// the luma differences, scaled by (255/219)^2 from studio range: about 13.55 times the product,
// so this bound over the product alone marks the same pixels. The chroma terms it leaves out
// are small (4:2:0 shares a chroma row with the row above, and its cross terms nearly cancel).
constexpr int kLumaCombThreshold = 221;

// Marks the luma samples of row c whose product of differences to rows u and d is high, a block
// at a time, blocks whose largest differences cannot reach the bound left unmarked.
KELVOR_VECTOR_CLONES
void markLumaCombs(const std::uint8_t* __restrict u, const std::uint8_t* __restrict c,
                   const std::uint8_t* __restrict d, int width, std::uint8_t* __restrict marks) {
    for (int x0 = 0; x0 < width; x0 += kBlockPixels) {
        const int n = std::min(kBlockPixels, width - x0);
        std::uint8_t up = 0, down = 0;
        for (int i = x0; i < x0 + n; ++i) {
            const std::uint8_t du = u[i] > c[i] ? u[i] - c[i] : c[i] - u[i];
            const std::uint8_t dd = d[i] > c[i] ? d[i] - c[i] : c[i] - d[i];
            up = du > up ? du : up;
            down = dd > down ? dd : down;
        }
        if (up * down <= kLumaCombThreshold) {
            std::memset(marks + x0, 0, static_cast<std::size_t>(n));
            continue;
        }
        for (int i = x0; i < x0 + n; ++i)
            marks[i] = (u[i] - c[i]) * (d[i] - c[i]) > kLumaCombThreshold;
    }
}

}  // namespace

bool DeinterlaceLuma(std::span<std::uint8_t> plane, int width, int height, std::size_t stride,
                     std::vector<std::uint8_t>& scratch) {
    if (width <= 0 || height <= 0 || stride < static_cast<std::size_t>(width) ||
        plane.size() / stride < static_cast<std::size_t>(height))
        return false;
    scratch.assign(static_cast<std::size_t>(width) + 2, 0);
    std::uint8_t* marks = scratch.data() + 1;
    for (int r = 1; r < height - 1; r += 2) {
        std::uint8_t* c = plane.data() + static_cast<std::size_t>(r) * stride;
        const std::uint8_t* up = c - stride;
        const std::uint8_t* down = c + stride;
        markLumaCombs(up, c, down, width, marks);
        for (int x = 0; x < width; ++x) {
            while (width - x >= 8 && noMarks8(marks + x))
                x += 8;
            if (x >= width)
                break;
            if (marks[x] & (marks[x - 1] | marks[x + 1]))
                c[x] = static_cast<std::uint8_t>((up[x] + down[x]) >> 1);
        }
    }
    return true;
}

DeinterlaceFilter::DeinterlaceFilter()
    : InPlaceTransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), true) {}

Status DeinterlaceFilter::CheckInputType(const MediaType& mtIn) {
    const bool planar = mtIn.subtype == Subtype::I420 || mtIn.subtype == Subtype::Y41B;
    return mtIn.majorType == MajorType::Video && (mtIn.subtype == Subtype::Rgb24 || planar)
               ? Code::Ok
               : Code::TypeNotAccepted;
}

Status DeinterlaceFilter::StartStreaming() {
    const auto v = InputMediaType().videoInfo();
    layout_ = Rgb24Layout{};
    if (!v || v->bmiHeader.biWidth <= 0 || v->bmiHeader.biHeight == 0)
        return Code::Ok;
    planar_ = InputMediaType().subtype != Subtype::Rgb24;
    layout_.Width = v->bmiHeader.biWidth;
    layout_.Height = std::abs(v->bmiHeader.biHeight);
    layout_.Stride = planar_ ? static_cast<std::size_t>(layout_.Width) : Rgb24Stride(layout_.Width);
    layout_.BottomUp = !planar_ && v->bmiHeader.biHeight > 0;
    return Code::Ok;
}

Status DeinterlaceFilter::Transform(MediaSample& sample) {
    const auto picture = sample.data();
    if (planar_) {
        // The luma plane comes first; a sample without room for its chroma is short.
        const std::size_t luma = layout_.Bytes();
        if (picture.size() < luma + luma / 2)
            return Code::Fail;
        return DeinterlaceLuma(picture.first(luma), layout_.Width, layout_.Height, layout_.Stride,
                               marks_)
                   ? Code::Ok
                   : Code::Fail;
    }
    return DeinterlaceRgb24(picture, picture, layout_) ? Code::Ok : Code::Fail;
}

}  // namespace kelvor::media

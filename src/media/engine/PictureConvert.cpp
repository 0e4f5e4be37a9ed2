#include "media/engine/PictureConvert.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/engine/DvCodec.h"
#include "media/engine/FfmpegUtil.h"
#include "media/engine/VectorClones.h"

namespace kelvor::media {
namespace {

using namespace bt601;

KELVOR_VECTOR_CLONES
void lumaRow(const std::uint8_t* __restrict bgr, std::uint8_t* __restrict y, int width) {
    // The weighted sum stays below 65536, so 16-bit lanes hold it: twice as many per vector.
    static_assert(255 * (kYR + kYG + kYB) + kYOffset < 65536);
    for (int x = 0; x < width; ++x) {
        const std::uint16_t b = bgr[3 * x], g = bgr[3 * x + 1], r = bgr[3 * x + 2];
        const auto sum = static_cast<std::uint16_t>(kYR * r + kYG * g + kYB * b + kYOffset);
        y[x] = static_cast<std::uint8_t>(sum >> 8);
    }
}

// Rows are taken apart into planar channels a chunk at a time, so that the sums over a block
// read neighbouring values and the loops become vector code (the packed 12-byte groups do not).
constexpr int kChunk = 64;  // chroma samples per pass

// U and V of each 4x1 block: sums of four pixels, so the shift takes two more bits.
KELVOR_VECTOR_CLONES
void chroma411Row(const std::uint8_t* __restrict bgr, std::uint8_t* __restrict u,
                  std::uint8_t* __restrict v, int chromaWidth) {
    constexpr int kOffset = (128 << 10) + 512;
    std::int16_t b[4 * kChunk], g[4 * kChunk], r[4 * kChunk];
    for (int x0 = 0; x0 < chromaWidth; x0 += kChunk) {
        const int n = std::min(kChunk, chromaWidth - x0);
        const std::uint8_t* p = bgr + 12 * x0;
        for (int i = 0; i < 4 * n; ++i) {
            b[i] = p[3 * i];
            g[i] = p[3 * i + 1];
            r[i] = p[3 * i + 2];
        }
        for (int x = 0; x < n; ++x) {
            const int sb = b[4 * x] + b[4 * x + 1] + b[4 * x + 2] + b[4 * x + 3];
            const int sg = g[4 * x] + g[4 * x + 1] + g[4 * x + 2] + g[4 * x + 3];
            const int sr = r[4 * x] + r[4 * x + 1] + r[4 * x + 2] + r[4 * x + 3];
            u[x0 + x] = static_cast<std::uint8_t>((kUR * sr + kUG * sg + kUB * sb + kOffset) >> 10);
            v[x0 + x] = static_cast<std::uint8_t>((kVR * sr + kVG * sg + kVB * sb + kOffset) >> 10);
        }
    }
}

// U and V of each 2x2 block from two rows.
KELVOR_VECTOR_CLONES
void chroma420Row(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom,
                  std::uint8_t* __restrict u, std::uint8_t* __restrict v, int chromaWidth) {
    constexpr int kOffset = (128 << 10) + 512;
    std::int16_t b[2 * kChunk], g[2 * kChunk], r[2 * kChunk];
    for (int x0 = 0; x0 < chromaWidth; x0 += kChunk) {
        const int n = std::min(kChunk, chromaWidth - x0);
        const std::uint8_t* p = top + 6 * x0;
        const std::uint8_t* q = bottom + 6 * x0;
        for (int i = 0; i < 2 * n; ++i) {
            b[i] = static_cast<std::int16_t>(p[3 * i] + q[3 * i]);
            g[i] = static_cast<std::int16_t>(p[3 * i + 1] + q[3 * i + 1]);
            r[i] = static_cast<std::int16_t>(p[3 * i + 2] + q[3 * i + 2]);
        }
        for (int x = 0; x < n; ++x) {
            const int sb = b[2 * x] + b[2 * x + 1];
            const int sg = g[2 * x] + g[2 * x + 1];
            const int sr = r[2 * x] + r[2 * x + 1];
            u[x0 + x] = static_cast<std::uint8_t>((kUR * sr + kUG * sg + kUB * sb + kOffset) >> 10);
            v[x0 + x] = static_cast<std::uint8_t>((kVR * sr + kVG * sg + kVB * sb + kOffset) >> 10);
        }
    }
}

// A row between two rows: b's share is w/256.
KELVOR_VECTOR_CLONES
void blendRow(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, int w,
              std::uint8_t* __restrict out, int bytes) {
    // The weights add up to 256, so the sum fits 16-bit lanes.
    const auto wb = static_cast<std::uint16_t>(w);
    const auto wa = static_cast<std::uint16_t>(256 - w);
    for (int i = 0; i < bytes; ++i) {
        const auto sum = static_cast<std::uint16_t>(a[i] * wa + b[i] * wb + 128);
        out[i] = static_cast<std::uint8_t>(sum >> 8);
    }
}

// Where output row j of outRows falls between source rows of inRows: row a and its share w/256
// of row a + 1, centres mapped onto centres.
void rowPosition(int j, int inRows, int outRows, int& a, int& w) {
    const std::int64_t pos256 =
        ((2 * static_cast<std::int64_t>(j) + 1) * inRows * 256) / (2 * outRows) - 128;
    const std::int64_t clamped =
        std::clamp<std::int64_t>(pos256, 0, static_cast<std::int64_t>(inRows - 1) * 256);
    a = static_cast<int>(clamped >> 8);
    w = a + 1 < inRows ? static_cast<int>(clamped & 255) : 0;
}

// Chroma rows half as wide: each sample the rounded average of a pair.
KELVOR_VECTOR_CLONES
void halveRow(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, int outWidth) {
    for (int x = 0; x < outWidth; ++x)
        out[x] = static_cast<std::uint8_t>((in[2 * x] + in[2 * x + 1] + 1) >> 1);
}

// Chroma rows twice as wide: each new sample three quarters of its own and a quarter of the
// nearer neighbour, the ends held.
void doubleRow(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, int inWidth) {
    for (int x = 0; x < inWidth; ++x) {
        const int left = in[x > 0 ? x - 1 : 0];
        const int right = in[x + 1 < inWidth ? x + 1 : x];
        out[2 * x] = static_cast<std::uint8_t>((3 * in[x] + left + 2) >> 2);
        out[2 * x + 1] = static_cast<std::uint8_t>((3 * in[x] + right + 2) >> 2);
    }
}

KELVOR_VECTOR_CLONES
void mapRow(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, int width,
            std::uint32_t scale, std::uint32_t offset) {
    for (int x = 0; x < width; ++x)
        out[x] = static_cast<std::uint8_t>((in[x] * scale + offset) >> 16);
}

AVPixelFormat pixelFormat(FourCC subtype) {
    if (subtype == Subtype::Rgb24)
        return AV_PIX_FMT_BGR24;
    if (subtype == Subtype::I420)
        return AV_PIX_FMT_YUV420P;
    if (subtype == Subtype::Y41B)
        return AV_PIX_FMT_YUV411P;
    return AV_PIX_FMT_NONE;
}

PlanarLayout layoutOf(FourCC subtype) {
    return subtype == Subtype::Y41B ? PlanarLayout::Yuv411 : PlanarLayout::Yuv420;
}

bool usable(const PictureShape& s) {
    return PictureBytes(s) > 0;
}

// The planes of a packed picture; for RGB24 the first row shown is the last in memory, so the
// pointer starts there and the stride is negative.
template <typename Byte>
void packedPlanes(Byte* base, const PictureShape& s, Byte* (&p)[4], int (&stride)[4]) {
    for (int i = 0; i < 4; ++i) {
        p[i] = nullptr;
        stride[i] = 0;
    }
    const auto w = static_cast<std::size_t>(s.width);
    const auto h = static_cast<std::size_t>(s.height);
    if (s.subtype == Subtype::Rgb24) {
        const std::size_t row = Rgb24Stride(s.width);
        p[0] = base + row * (h - 1);
        stride[0] = -static_cast<int>(row);
        return;
    }
    const bool is411 = s.subtype == Subtype::Y41B;
    const std::size_t cw = is411 ? w / 4 : w / 2;
    const std::size_t ch = is411 ? h : h / 2;
    p[0] = base;
    p[1] = base + w * h;
    p[2] = p[1] + cw * ch;
    stride[0] = s.width;
    stride[1] = stride[2] = static_cast<int>(cw);
}

// The planes of a destination moved to the top left corner of a rectangle.
void rectPlanes(std::uint8_t* const planes[3], const int strides[3], const PictureShape& s,
                const Rect& r, std::uint8_t* (&p)[4], int (&stride)[4]) {
    for (int i = 0; i < 4; ++i) {
        p[i] = nullptr;
        stride[i] = 0;
    }
    if (s.subtype == Subtype::Rgb24) {
        // A packed bottom-up destination: planes[0] is its first byte in memory.
        const std::size_t row = Rgb24Stride(s.width);
        p[0] = planes[0] + row * static_cast<std::size_t>(s.height - 1 - r.top) +
               static_cast<std::size_t>(r.left) * 3;
        stride[0] = -static_cast<int>(row);
        return;
    }
    const bool is411 = s.subtype == Subtype::Y41B;
    const int cx = is411 ? 4 : 2;
    const int cy = is411 ? 1 : 2;
    p[0] = planes[0] + static_cast<std::ptrdiff_t>(r.top) * strides[0] + r.left;
    for (int i = 1; i < 3; ++i)
        p[i] = planes[i] + static_cast<std::ptrdiff_t>(r.top / cy) * strides[i] + r.left / cx;
    for (int i = 0; i < 3; ++i)
        stride[i] = strides[i];
}

}  // namespace

void Bgr24ToPlanar(const std::uint8_t* bgr, int width, int height, PlanarLayout layout,
                   std::uint8_t* const planes[3], const int strides[3]) {
    const std::size_t rowBytes = Rgb24Stride(width);
    auto row = [&](int y) { return bgr + rowBytes * static_cast<std::size_t>(height - 1 - y); };
    if (layout == PlanarLayout::Yuv411) {
        for (int y = 0; y < height; ++y) {
            lumaRow(row(y), planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0], width);
            chroma411Row(row(y), planes[1] + static_cast<std::ptrdiff_t>(y) * strides[1],
                         planes[2] + static_cast<std::ptrdiff_t>(y) * strides[2], width / 4);
        }
        return;
    }
    for (int y = 0; y + 1 < height; y += 2) {
        lumaRow(row(y), planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0], width);
        lumaRow(row(y + 1), planes[0] + static_cast<std::ptrdiff_t>(y + 1) * strides[0], width);
        chroma420Row(row(y), row(y + 1),
                     planes[1] + static_cast<std::ptrdiff_t>(y / 2) * strides[1],
                     planes[2] + static_cast<std::ptrdiff_t>(y / 2) * strides[2], width / 2);
    }
}

void Bgr24ToPlanarResized(const std::uint8_t* bgr, int width, int inHeight, int outHeight,
                          PlanarLayout layout, std::uint8_t* const planes[3], const int strides[3],
                          std::uint8_t* scratch) {
    const std::size_t rowBytes = Rgb24Stride(width);
    auto row = [&](int y) { return bgr + rowBytes * static_cast<std::size_t>(inHeight - 1 - y); };
    std::uint8_t* const blended = scratch;
    // Output row j shows the source at (j + 1/2) x inHeight / outHeight - 1/2, taken from the
    // two rows around it in 1/256 steps.
    auto source = [&](int j, std::uint8_t* tmp) -> const std::uint8_t* {
        int a = 0, w = 0;
        rowPosition(j, inHeight, outHeight, a, w);
        if (w == 0)
            return row(a);
        blendRow(row(a), row(a + 1), w, tmp, 3 * width);
        return tmp;
    };
    if (layout == PlanarLayout::Yuv411) {
        for (int j = 0; j < outHeight; ++j) {
            const std::uint8_t* r = source(j, blended);
            lumaRow(r, planes[0] + static_cast<std::ptrdiff_t>(j) * strides[0], width);
            chroma411Row(r, planes[1] + static_cast<std::ptrdiff_t>(j) * strides[1],
                         planes[2] + static_cast<std::ptrdiff_t>(j) * strides[2], width / 4);
        }
        return;
    }
    for (int j = 0; j + 1 < outHeight; j += 2) {
        const std::uint8_t* r0 = source(j, blended);
        const std::uint8_t* r1 = source(j + 1, blended + rowBytes);
        lumaRow(r0, planes[0] + static_cast<std::ptrdiff_t>(j) * strides[0], width);
        lumaRow(r1, planes[0] + static_cast<std::ptrdiff_t>(j + 1) * strides[0], width);
        chroma420Row(r0, r1, planes[1] + static_cast<std::ptrdiff_t>(j / 2) * strides[1],
                     planes[2] + static_cast<std::ptrdiff_t>(j / 2) * strides[2], width / 2);
    }
}

void FullToStudioRange(const std::uint8_t* in, std::uint8_t* out, int width, bool chroma) {
    // 219/255 (luma, then 16) or 224/255 around 128 (chroma) in 16.16 fixed point, rounded to the
    // nearest: the same values as exact arithmetic for every input.
    if (chroma)
        mapRow(in, out, width, 57569, 1019792 + 32768);
    else
        mapRow(in, out, width, 56284, (16 << 16) + 32768);
}

void PlanarResized(const std::uint8_t* const src[3], const int srcStrides[3], PlanarLayout inLayout,
                   int width, int inHeight, std::uint8_t* const dst[3], const int dstStrides[3],
                   PlanarLayout outLayout, int outHeight, std::uint8_t* scratch) {
    auto at = [](auto* base, int stride, int y) {
        return base + static_cast<std::ptrdiff_t>(y) * stride;
    };
    for (int j = 0; j < outHeight; ++j) {
        int a = 0, w = 0;
        rowPosition(j, inHeight, outHeight, a, w);
        std::uint8_t* out = at(dst[0], dstStrides[0], j);
        if (w == 0)
            std::memcpy(out, at(src[0], srcStrides[0], a), static_cast<std::size_t>(width));
        else
            blendRow(at(src[0], srcStrides[0], a), at(src[0], srcStrides[0], a + 1), w, out, width);
    }
    const bool in411 = inLayout == PlanarLayout::Yuv411;
    const bool out411 = outLayout == PlanarLayout::Yuv411;
    const int inCw = width / (in411 ? 4 : 2), outCw = width / (out411 ? 4 : 2);
    const int inCh = in411 ? inHeight : inHeight / 2, outCh = out411 ? outHeight : outHeight / 2;
    for (int p = 1; p < 3; ++p) {
        for (int j = 0; j < outCh; ++j) {
            int a = 0, w = 0;
            rowPosition(j, inCh, outCh, a, w);
            std::uint8_t* out = at(dst[p], dstStrides[p], j);
            // The rows blended straight into the destination when the width stays.
            std::uint8_t* row = inCw == outCw ? out : scratch;
            const std::uint8_t* r = at(src[p], srcStrides[p], a);
            if (w != 0) {
                blendRow(r, at(src[p], srcStrides[p], a + 1), w, row, inCw);
                r = row;
            }
            if (inCw == outCw) {
                if (r != out)
                    std::memcpy(out, r, static_cast<std::size_t>(outCw));
            } else if (inCw == 2 * outCw) {
                halveRow(r, out, outCw);
            } else {
                doubleRow(r, out, inCw);
            }
        }
    }
}

std::size_t PictureBytes(const PictureShape& s) {
    constexpr int kMaxSide = 8192;
    if (s.width <= 0 || s.height <= 0 || s.width > kMaxSide || s.height > kMaxSide)
        return 0;
    const auto w = static_cast<std::size_t>(s.width);
    const auto h = static_cast<std::size_t>(s.height);
    if (s.subtype == Subtype::Rgb24)
        return Rgb24Stride(s.width) * h;
    if (s.subtype == Subtype::I420)
        return s.width % 2 || s.height % 2 ? 0 : w * h * 3 / 2;
    if (s.subtype == Subtype::Y41B)
        return s.width % 4 ? 0 : w * h * 3 / 2;
    return 0;
}

struct PictureScaler::Impl {
    SwsContext* sws = nullptr;
    std::vector<std::uint8_t> work;  // RGB24 converted to planar at its own size
    std::vector<std::uint8_t> rows;  // rows blended on the way
    ~Impl() { sws_freeContext(sws); }
};

PictureScaler::PictureScaler() : s_(std::make_unique<Impl>()) {}
PictureScaler::~PictureScaler() = default;

bool PictureScaler::Scale(const std::uint8_t* src, const PictureShape& in,
                          std::uint8_t* const planes[3], const int strides[3],
                          const PictureShape& out, const Rect& into) {
    const int rw = into.right - into.left, rh = into.bottom - into.top;
    if (!usable(in) || !usable(out) || rw <= 0 || rh <= 0 || into.left < 0 || into.top < 0 ||
        into.right > out.width || into.bottom > out.height)
        return false;
    std::uint8_t* dst[4];
    int dstStride[4];
    rectPlanes(planes, strides, out, into, dst, dstStride);
    PictureShape from = in;
    const std::uint8_t* pixels = src;
    if (in.subtype != Subtype::Rgb24 && out.subtype != Subtype::Rgb24 && in.width == rw &&
        PictureBytes({out.subtype, rw, rh}) > 0) {
        // Planar into planar at the same width (PAL and NTSC frames, or a copy): rows blended
        // plane by plane, the chroma brought to the other layout on the way.
        s_->rows.resize(static_cast<std::size_t>(in.width));
        const std::uint8_t* sp[4];
        int ss[4];
        packedPlanes(src, in, sp, ss);
        PlanarResized(sp, ss, layoutOf(in.subtype), in.width, in.height, dst, dstStride,
                      layoutOf(out.subtype), rh, s_->rows.data());
        return true;
    }
    if (in.subtype == Subtype::Rgb24 && out.subtype != Subtype::Rgb24) {
        // Our own converter first, into the destination's layout at the source's size.
        const PictureShape planar{out.subtype, in.width, in.height};
        const PlanarLayout layout =
            out.subtype == Subtype::Y41B ? PlanarLayout::Yuv411 : PlanarLayout::Yuv420;
        if (PictureBytes(planar) > 0) {
            if (in.width == rw && in.height == rh) {
                Bgr24ToPlanar(src, in.width, in.height, layout, dst, dstStride);
                return true;
            }
            // Only the height changes (PAL and NTSC frames): the rows are blended as they are
            // converted, in one pass over the picture.
            if (in.width == rw && rh % 2 == 0) {
                s_->rows.resize(2 * Rgb24Stride(in.width));
                Bgr24ToPlanarResized(src, in.width, in.height, rh, layout, dst, dstStride,
                                     s_->rows.data());
                return true;
            }
            s_->work.resize(PictureBytes(planar));
            std::uint8_t* p[4];
            int ps[4];
            packedPlanes(s_->work.data(), planar, p, ps);
            Bgr24ToPlanar(src, in.width, in.height, layout, p, ps);
            from = planar;
            pixels = s_->work.data();
        }
    }
    s_->sws =
        sws_getCachedContext(s_->sws, from.width, from.height, pixelFormat(from.subtype), rw, rh,
                             pixelFormat(out.subtype), SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!s_->sws)
        return false;
    const std::uint8_t* sp[4];
    int ss[4];
    packedPlanes(pixels, from, sp, ss);
    sws_scale(s_->sws, sp, ss, 0, from.height, dst, dstStride);
    return true;
}

}  // namespace kelvor::media

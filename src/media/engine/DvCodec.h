// DV video pictures in and out of DV frames, on libavcodec's dvvideo codec: decoding a whole DV
// frame to an RGB24 bottom-up picture (full size, or half size with the codec's low-resolution
// mode), and encoding an RGB24 bottom-up picture of any size into a PAL or NTSC DV frame.
//
// Ownership: each object owns its codec and scaler contexts. Threads: one thread at a time per
// object; the codec itself may use its own slice threads. Failure: open/decode/encode return
// false and errorText() says why; outputs are then unspecified.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct AVFrame;

namespace kelvor::media {

// Bytes of one bottom-up RGB24 row with the 4-byte alignment of a bitmap.
inline constexpr std::size_t Rgb24Stride(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

// A decoded picture held by reference to the DV frame it came from (the codec's padded copy of
// it, kept alive and unchanged while held), decoded again when it is wanted.
class DvPicture {
  public:
    DvPicture();
    ~DvPicture();
    DvPicture(DvPicture&&) noexcept;
    DvPicture& operator=(DvPicture&&) noexcept;
    bool empty() const;

  private:
    friend class DvVideoDecoder;
    struct Frame;
    std::unique_ptr<Frame> f_;
};

class DvVideoDecoder {
  public:
    DvVideoDecoder();
    ~DvVideoDecoder();
    DvVideoDecoder(const DvVideoDecoder&) = delete;
    DvVideoDecoder& operator=(const DvVideoDecoder&) = delete;

    bool open(bool halfSize, int threads = 2);
    // Picture size of a DV frame of this standard at the decoder's size.
    int width() const;
    int height(bool pal) const;
    // Decodes the frame into out, which must hold height * Rgb24Stride(width) bytes.
    bool decode(std::span<const std::uint8_t> frame, std::span<std::uint8_t> out, int& width,
                int& height);
    // Decodes into the codec's own planar layout (4:2:0 for 625/50, 4:1:1 for 525/60): the Y
    // plane, then U, then V, rows without padding; out must hold PlanarSize bytes.
    bool decodePlanar(std::span<const std::uint8_t> frame, std::span<std::uint8_t> out, int& width,
                      int& height);
    // The picture of the last decode, by reference to its DV frame (no copy).
    void keepPicture(DvPicture& into) const;
    // A held picture into out as decode (RGB24) or decodePlanar would write it, by decoding its
    // frame again.
    bool convert(const DvPicture& picture, bool planar, std::span<std::uint8_t> out, int& width,
                 int& height);
    const std::string& errorText() const { return error_; }

  private:
    bool decodeToFrame(std::span<const std::uint8_t> frame);
    bool convertRgb(const AVFrame* f, std::span<std::uint8_t> out, int& width, int& height);
    bool convertPlanar(const AVFrame* f, std::span<std::uint8_t> out, int& width, int& height);
    struct State;
    std::unique_ptr<State> s_;
    std::string error_;
};

// Bytes of a planar DV picture: 4:2:0 (625/50) or 4:1:1 (525/60) at this size.
inline constexpr std::size_t PlanarSize(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 / 2;
}

class DvVideoEncoder {
  public:
    DvVideoEncoder();
    ~DvVideoEncoder();
    DvVideoEncoder(const DvVideoEncoder&) = delete;
    DvVideoEncoder& operator=(const DvVideoEncoder&) = delete;

    bool open(bool pal, bool wide, int threads = 2);
    std::size_t frameSize() const;  // 144000 or 120000
    // Encodes an RGB24 bottom-up picture (rows of Rgb24Stride(width) bytes), scaled to the DV
    // picture size when it differs, into out (at least frameSize() bytes).
    bool encode(std::span<const std::uint8_t> rgb, int width, int height,
                std::span<std::uint8_t> out);
    // Encodes a planar picture of the DV size in the layout decodePlanar gives.
    bool encodePlanar(std::span<const std::uint8_t> planar, std::span<std::uint8_t> out);
    const std::string& errorText() const { return error_; }

  private:
    bool encodeFrame(std::span<std::uint8_t> out);
    struct State;
    std::unique_ptr<State> s_;
    std::string error_;
};

}  // namespace kelvor::media

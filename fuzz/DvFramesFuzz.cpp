// DV frames through the pack readers and the date scene detector.
//
// Input: 8 bytes of settings, then the two date formats (a length byte and up to 24 bytes
// each), then frames. A frame is a 16-bit little-endian length and that many bytes, repeated
// over the whole 144000-byte (625/50) or 120000-byte (525/60) frame: a DV frame is bigger than
// a fuzz input, and repeating puts the fuzzer's bytes into the pack positions of every DIF
// sequence (a length of 12000 gives each sequence the same bytes, as a copy of a real sequence).
// Each frame goes through every pack reader and the detector's ProcessSample; the stream ends
// with FinishStream. A copy of each frame gets a datecode written, which must read back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/dv/DvPacks.h"
#include "core/scenes/DateSceneDetector.h"

namespace {

using namespace kelvor;

constexpr int kMaxFrames = 48;  // keeps one input cheap: frames are filled, not read

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t left() const { return size_ - pos_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string text(std::size_t max) {
        const std::size_t n = std::min<std::size_t>({byte(), max, left()});
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    // The next frame's bytes, repeated to fill `frame`; false when the input is used up.
    bool frame(std::vector<std::uint8_t>& frame) {
        if (left() < 2)
            return false;
        const std::size_t want = byte() | (static_cast<std::size_t>(byte()) << 8);
        const std::size_t n = std::min(want, left());
        if (n == 0) {
            std::fill(frame.begin(), frame.end(), std::uint8_t{0xFF});
            return true;
        }
        // Repeat by doubling what is filled: a few copies, not a loop over every byte.
        std::size_t filled = std::min(n, frame.size());
        std::copy_n(data_ + pos_, filled, frame.begin());
        while (filled < frame.size()) {
            const std::size_t more = std::min(filled, frame.size() - filled);
            std::copy_n(frame.begin(), more, frame.begin() + static_cast<std::ptrdiff_t>(filled));
            filled += more;
        }
        pos_ += n;
        return true;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Every reader on one frame; what they give is not checked here, only that they stay inside
// the frame (the sanitizers watch) and keep their outputs when they fail.
void readPacks(dv::ConstFrame frame, int sequences) {
    dv::Pack pack;
    for (std::uint8_t id : {dv::kPackTimecode, dv::kPackAudioSource, dv::kPackVideoSourceControl,
                            dv::kPackRecDate, dv::kPackRecTime})
        dv::FindPack(frame, sequences, id, pack);
    dv::DifBlock block;
    dv::FindAudioBlock(frame, sequences, dv::kPackAudioSource, block);
    dv::Timecode tc;
    dv::ReadTimecode(frame, sequences, tc);
    int standard = -1;
    if (!dv::ReadStandard(frame, standard) && standard != -1)
        std::abort();
    dv::AudioFormat audio;
    dv::ReadAudioFormat(frame, sequences, audio);
    bool wide = false;
    dv::ReadWide(frame, sequences, wide);
    dv::HeaderFlag(frame);
}

// A datecode written into a copy of a frame that has both date packs reads back unchanged.
void writeAndReadBack(const std::vector<std::uint8_t>& frame, int sequences, Input& in) {
    dv::Pack pack;
    if (!dv::FindPack(frame, sequences, dv::kPackRecDate, pack) ||
        !dv::FindPack(frame, sequences, dv::kPackRecTime, pack))
        return;
    dv::Datecode d;
    d.Year = 1990 + in.byte() % 100;
    d.Month = static_cast<std::uint8_t>(1 + in.byte() % 12);
    d.Day = static_cast<std::uint8_t>(1 + in.byte() % 28);
    d.Hour = static_cast<std::uint8_t>(in.byte() % 24);
    d.Minute = static_cast<std::uint8_t>(in.byte() % 60);
    d.Second = static_cast<std::uint8_t>(in.byte() % 60);
    std::vector<std::uint8_t> copy = frame;
    dv::WriteDatecode(copy, sequences, d);
    dv::Datecode back;
    if (!dv::ReadDatecode(copy, sequences, back) || !(back == d))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t flags = in.byte();
    scenes::DateSceneDetector detector;
    detector.SetDisplayKind(flags & 1);
    detector.SetAutoMode((flags & 2) != 0);
    detector.SetTrigger((flags >> 2) % 3);
    detector.SetDisplayFrames(static_cast<int>(in.byte()) - 8);
    detector.SetTimeShift((static_cast<int>(in.byte()) - 128) / 24.0);
    const bool mixed = (flags & 0x20) != 0;  // frames alternate between the two standards
    bool pal = (flags & 0x10) != 0;
    in.byte();  // reserved, so settings can grow without shifting the corpus
    in.byte();
    in.byte();
    in.byte();
    in.byte();
    const std::string first = in.text(24);
    const std::string second = in.text(24);
    detector.SetDateFormats(first, second);

    std::size_t lines = 0;
    detector.SetSubtitleSink([&](const scenes::FrameInfo&, const std::string& a,
                                 const std::string& b) { lines += a.size() + b.size(); });
    int scenesEnded = 0;
    detector.OnSceneEnd = [&](const scenes::FrameInfo&, const scenes::FrameInfo&) {
        ++scenesEnded;
    };
    detector.StartStreaming();
    std::vector<std::uint8_t> frame;
    for (int n = 0; n < kMaxFrames; ++n) {
        const int sequences = pal ? dv::kSequences625 : dv::kSequences525;
        frame.resize(pal ? dv::kFrameSize625 : dv::kFrameSize525);
        if (!in.frame(frame))
            break;
        readPacks(frame, sequences);
        writeAndReadBack(frame, sequences, in);
        detector.ProcessSample(frame);
        if (mixed)
            pal = !pal;
    }
    // A sample that is not a whole frame counts but is not decoded.
    detector.ProcessSample(std::span<const std::uint8_t>(frame).first(frame.size() / 2));
    detector.FinishStream();
    return 0;
}

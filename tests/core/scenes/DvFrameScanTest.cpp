// The frame scan of scenes by date against the detector fed whole frames, as the media graph
// feeds it: the same scene ends and the same facts, on one thread and on two, on damaged and
// mixed frames, on real camcorder frames, and when the file shrinks under the scan.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/scenes/DvFrameScan.h"
#include "support/DvFrameBuilder.h"
#include "support/TempDir.h"

namespace kelvor::scenes {
namespace {

using Bytes = std::vector<std::uint8_t>;
using B = test::DvFrameBuilder;

struct Outcome {
    std::vector<std::pair<FrameInfo, FrameInfo>> SceneEnds;
    FrameInfo Last;
    std::int64_t Samples = 0;
    std::int64_t Readable = 0;
};

void Record(DateSceneDetector& d, Outcome& out) {
    d.OnSceneEnd = [&out](const FrameInfo& s, const FrameInfo& c) {
        out.SceneEnds.emplace_back(s, c);
    };
}

void Finish(DateSceneDetector& d, Outcome& out) {
    out.Last = d.Last();
    out.Samples = d.SampleCount();
    out.Readable = d.ReadableFrameCount();
    d.Stop();
}

// The whole-frame path: every frame of a raw file as one sample.
Outcome WholeFrames(const std::vector<Bytes>& frames) {
    Outcome out;
    DateSceneDetector d;
    Record(d, out);
    d.StartStreaming();
    for (const Bytes& f : frames)
        d.ProcessSample(f);
    Finish(d, out);
    return out;
}

Outcome Scanned(const std::string& path, std::uint32_t batch, std::uint64_t* wholeReads = nullptr) {
    Outcome out;
    auto scan = DvFrameScan::Open(path);
    EXPECT_TRUE(scan);
    if (!scan)
        return out;
    scan->SetBatchFrames(batch);
    DateSceneDetector d;
    Record(d, out);
    d.StartStreaming();
    EXPECT_TRUE(scan->Run(d)) << scan->ErrorText();
    Finish(d, out);
    if (wholeReads)
        *wholeReads = scan->WholeFrameReads();
    return out;
}

void ExpectSame(const Outcome& expected, const Outcome& got) {
    EXPECT_EQ(expected.SceneEnds, got.SceneEnds);
    EXPECT_EQ(expected.Last, got.Last);
    EXPECT_EQ(expected.Samples, got.Samples);
    EXPECT_EQ(expected.Readable, got.Readable);
}

std::string WriteRaw(const test::TempDir& dir, const std::vector<Bytes>& frames) {
    const std::string path = dir.file("tape.dv");
    std::ofstream out(path, std::ios::binary);
    for (const Bytes& f : frames)
        out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    return path;
}

// A frame as a camcorder writes it, its packs repeated in every sequence, and one of the ways
// tapes go wrong, chosen by `kind`.
Bytes Frame(int index, int kind) {
    const int seconds = index / 25 + (index >= 40 ? 3600 : 0);
    B b;
    const auto every = [&](int s) {
        b.pack(s, B::kSubcode(1, 0), test::timecodePack(0, 0, index / 25, index % 25));
        b.pack(s, B::kVaux(3, 0), test::datePack(4, 3, 15));
        b.pack(s, B::kVaux(3, 1), test::timePack(10, seconds / 60 % 60, seconds % 60));
        b.pack(s, B::kVaux(3, 2), test::videoControlPack(kind == 6));
        b.aaux(s, s % 2 ? 0 : 3, test::audioSourcePack(0, 0));
    };
    switch (kind) {
        case 1:  // a dropout took every sequence's packs but one
            every(5);
            break;
        case 2:  // the second head lags: its sequences hold the frame before's time
            for (int s = 0; s < dv::kSequences625; ++s)
                every(s);
            for (int s = 1; s < dv::kSequences625; s += 4)
                b.pack(s, B::kVaux(3, 1), test::timePack(10, 0, (seconds + 59) % 60));
            break;
        case 3:  // no sound packs at all
            for (int s = 0; s < dv::kSequences625; ++s)
                every(s);
            for (int s = 0; s < dv::kSequences625; ++s)
                b.aaux(s, s % 2 ? 0 : 3, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
            break;
        case 4:  // no DV header
            every(0);
            b.byte(3, 0x00);
            break;
        case 5: {  // the date and time packs kept only with their ids zeroed, where VAUX has them
            every(0);
            for (int s = 0; s < dv::kSequences625; ++s)
                for (int k : {0, 1})
                    b.pack(s, B::kVaux(3, k), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
            dv::Pack date = test::datePack(4, 3, 15);
            dv::Pack time = test::timePack(10, seconds / 60 % 60, seconds % 60);
            date[0] = time[0] = 0x00;
            b.pack(0, B::kVaux(5, 11), date).pack(0, B::kVaux(5, 12), time);
            break;
        }
        case 7:  // a damaged timecode in the sampled sequences only
            for (int s = 0; s < dv::kSequences625; ++s)
                every(s);
            b.pack(1, B::kSubcode(1, 0), {dv::kPackTimecode, 0xAA, 0xAA, 0xAA, 0xAA});
            break;
        default:  // clean, or only this frame 16:9
            for (int s = 0; s < dv::kSequences625; ++s)
                every(s);
    }
    return std::move(b.bytes());
}

TEST(DvFrameScan, DamagedAndMixedFramesGiveWhatWholeFramesGive) {
    test::TempDir dir;
    std::vector<Bytes> frames;
    for (int i = 0; i < 70; ++i)
        frames.push_back(Frame(i, i < 16 ? 0 : i % 8));
    // A run of clean frames, then a short last frame, which keeps its place and says nothing.
    for (int i = 70; i < 90; ++i)
        frames.push_back(Frame(i, 0));
    frames.push_back(Bytes(1000, 0));
    const std::string path = WriteRaw(dir, frames);
    const Outcome expected = WholeFrames(frames);
    ASSERT_GE(expected.SceneEnds.size(), 3u);
    // One reader, then two with batches that cut the damaged frames apart at many places.
    for (const std::uint32_t batch : {0u, 1u, 3u, 7u, DvFrameScan::kDefaultBatchFrames}) {
        SCOPED_TRACE(batch);
        std::uint64_t wholeReads = 0;
        ExpectSame(expected, Scanned(path, batch, &wholeReads));
        // The damaged frames are read whole (the 34 of kinds 1, 2, 3, 5 and 7), the clean ones
        // and the one without a header not.
        EXPECT_EQ(wholeReads, 34u);
    }
}

TEST(DvFrameScan, RealCamcorderFramesGiveWhatWholeFramesGive) {
    for (const char* name : {"sony_5frames.dv", "sony_blank_tape.dv"}) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(KELVOR_TESTDATA_DIR) + "/dv-real/" + name, std::ios::binary);
        const Bytes raw{std::istreambuf_iterator<char>(in), {}};
        ASSERT_EQ(raw.size() % dv::kFrameSize525, 0u);
        std::vector<Bytes> frames;
        for (int copy = 0; copy < 4; ++copy)
            for (std::size_t at = 0; at < raw.size(); at += dv::kFrameSize525)
                frames.emplace_back(
                    raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + dv::kFrameSize525));
        test::TempDir dir;
        const std::string path = WriteRaw(dir, frames);
        const Outcome expected = WholeFrames(frames);
        ExpectSame(expected, Scanned(path, 0));
        ExpectSame(expected, Scanned(path, 2));
    }
}

TEST(DvFrameScan, AFileThatShrinksUnderTheScanEndsAtItsLastWholeFrame) {
    // Cut inside a batch of the calling thread and inside one of the helper's.
    for (const std::uint64_t cut : {13u, 17u}) {
        SCOPED_TRACE(cut);
        test::TempDir dir;
        std::vector<Bytes> frames;
        for (int i = 0; i < 40; ++i)
            frames.push_back(Frame(i, i % 3 == 0 ? 1 : 0));
        const std::string path = WriteRaw(dir, frames);
        auto scan = DvFrameScan::Open(path);
        ASSERT_TRUE(scan);
        scan->SetBatchFrames(5);
        std::filesystem::resize_file(path, cut * dv::kFrameSize625 + 100);
        Outcome out;
        DateSceneDetector d;
        Record(d, out);
        d.StartStreaming();
        EXPECT_FALSE(scan->Run(d));
        EXPECT_NE(scan->ErrorText().find("frame " + std::to_string(cut)), std::string::npos)
            << scan->ErrorText();
        EXPECT_EQ(d.SampleCount(), static_cast<std::int64_t>(cut));
    }
}

TEST(DvFrameScan, CleanFramesAreReadOnlyWhereTheirPacksLie) {
    test::TempDir dir;
    std::vector<Bytes> frames;
    for (int i = 0; i < 30; ++i)
        frames.push_back(Frame(i, 0));
    const std::string path = WriteRaw(dir, frames);
    auto scan = DvFrameScan::Open(path);
    ASSERT_TRUE(scan);
    scan->SetBatchFrames(4);
    DateSceneDetector d;
    d.StartStreaming();
    ASSERT_TRUE(scan->Run(d));
    d.Stop();
    EXPECT_EQ(scan->WholeFrameReads(), 0u);
    EXPECT_LT(scan->BytesRead(), 30u * dv::kFrameSize625 / 10);
}

}  // namespace
}  // namespace kelvor::scenes

// The libavformat splitter on AVI files the ffmpeg tool makes, and the choice between it and our
// own demuxer's splitter.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "fixtures/DvFixture.h"
#include "media/engine/AviSource.h"
#include "media/engine/Graph.h"
#include "media/engine/LavfSource.h"
#include "media/engine/Renderer.h"
#include "media/engine/VideoDecoder.h"
#include "support/TempDir.h"
#include "support/Tools.h"
#include "support/Waits.h"

namespace kelvor::media {
namespace {

namespace fs = std::filesystem;

using test::TempDir;

// A file source on `path` and the splitter added to the graph, the source loaded; the result of
// joining them.
Status joinSource(Graph& g, const FilterPtr& splitter, const std::string& path) {
    auto source = std::make_shared<FileSourceFilter>();
    g.AddFilter(source, "source");
    g.AddFilter(splitter, "splitter");
    EXPECT_EQ(source->Load(path), Code::Ok);
    return g.ConnectDirect(source->Output(), *splitter->GetInputPin(0));
}

// One second of 320x240 pictures at 25 Hz with a mono 44.1 kHz sine, in the codec given.
std::string makeAvi(const TempDir& dir, const std::string& name, const std::string& codec,
                    std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"ffmpeg",
                                     "-v",
                                     "error",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc=duration=1:size=320x240:rate=25",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "sine=duration=1:sample_rate=44100",
                                     "-c:v",
                                     codec,
                                     "-c:a",
                                     "pcm_s16le"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(name);
    const auto r = test::RunTool(args, dir.path());
    EXPECT_EQ(r.exitCode, 0);
    return dir.file(name);
}

struct Decoded {
    int pictures = 0;
    std::int64_t audioBytes = 0;
    std::vector<StreamTime> pictureTimes;
};

// Source, the chosen splitter, a decoder on the video and a null renderer on each stream; runs
// from `from` frames to the end.
Decoded decodeAll(const std::string& path, std::int64_t from = 0, bool withAudio = true) {
    Decoded result;
    Graph g;
    auto source = std::make_shared<FileSourceFilter>();
    FilterPtr splitter = CreateAviSplitter(path);
    auto dec = std::make_shared<VideoDecoderFilter>();
    auto vsink = std::make_shared<NullRenderer>();
    auto asink = std::make_shared<NullRenderer>();
    g.AddFilter(source, "source");
    g.AddFilter(splitter, "splitter");
    g.AddFilter(dec, "decoder");
    g.AddFilter(vsink, "video");
    g.AddFilter(asink, "audio");
    EXPECT_EQ(source->Load(path), Code::Ok);
    EXPECT_EQ(g.ConnectDirect(source->Output(), *splitter->GetInputPin(0)), Code::Ok);
    EXPECT_EQ(g.ConnectDirect(*splitter->GetOutputPin(0), dec->Input()), Code::Ok);
    EXPECT_EQ(g.ConnectDirect(dec->Output(), vsink->Input()), Code::Ok);
    if (withAudio) {
        EXPECT_EQ(g.ConnectDirect(*splitter->GetOutputPin(1), asink->Input()), Code::Ok);
    }
    std::mutex m;
    vsink->SetSampleCallback([&](const MediaSample& s) {
        std::lock_guard lock(m);
        EXPECT_EQ(s.GetActualDataLength(), 320 * 240 * 3);
        StreamTime t0 = 0, t1 = 0;
        s.GetTime(t0, t1);
        result.pictureTimes.push_back(t0);
        ++result.pictures;
    });
    asink->SetSampleCallback([&](const MediaSample& s) {
        std::lock_guard lock(m);
        result.audioBytes += s.GetActualDataLength();
    });
    g.SetTimeFormat(TimeFormat::Frame);
    std::int64_t duration = 0;
    EXPECT_EQ(g.GetDuration(duration), Code::Ok);
    EXPECT_EQ(duration, 25);
    EXPECT_EQ(g.SetPositions(from, -1), Code::Ok);
    EXPECT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    EXPECT_TRUE(g.WaitForCompletion(30000, code, hr));
    EXPECT_EQ(code, EventCode::Complete);
    g.Stop();
    return result;
}

TEST(LavfSplitter, MjpegAviOffersCompressedTypesAndDecodesEveryPicture) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const std::string path = makeAvi(dir, "not-dv.avi", "mjpeg");
    EXPECT_FALSE(IsDvAvi(path));
    FilterPtr chosen = CreateAviSplitter(path);
    auto* lavf = dynamic_cast<LavfSplitterFilter*>(chosen.get());
    ASSERT_NE(lavf, nullptr);

    Graph g;
    ASSERT_EQ(joinSource(g, chosen, path), Code::Ok);
    ASSERT_EQ(lavf->StreamCount(), 2);
    EXPECT_EQ(lavf->GetPin(2), &lavf->Input());  // input pin last, as the AVI splitter
    MediaType v, a;
    ASSERT_EQ(lavf->GetMediaType(*lavf->GetPin(0), 0, v), Code::Ok);
    ASSERT_EQ(lavf->GetMediaType(*lavf->GetPin(1), 0, a), Code::Ok);
    EXPECT_EQ(v.majorType, MajorType::Video);
    EXPECT_EQ(v.subtype, MakeFourCC("MJPG"));
    ASSERT_TRUE(v.videoInfo());
    EXPECT_EQ(v.videoInfo()->bmiHeader.biWidth, 320);
    EXPECT_EQ(v.videoInfo()->bmiHeader.biHeight, 240);
    EXPECT_EQ(v.videoInfo()->bmiHeader.biCompression, MakeFourCC("MJPG"));
    EXPECT_EQ(v.videoInfo()->AvgTimePerFrame, 400000);
    EXPECT_EQ(a.majorType, MajorType::Audio);
    EXPECT_EQ(a.subtype, Subtype::Pcm);
    ASSERT_TRUE(a.waveFormat());
    EXPECT_EQ(a.waveFormat()->nChannels, 1);
    EXPECT_EQ(a.waveFormat()->nSamplesPerSec, 44100u);
    EXPECT_EQ(a.waveFormat()->nBlockAlign, 2);
    std::int64_t num = 0, den = 0;
    ASSERT_TRUE(lavf->FrameRate(num, den));
    EXPECT_EQ(num * 1, den * 25);
    EXPECT_NEAR(static_cast<double>(lavf->Duration()), kUnitsPerSecond, 1000);

    // The packets themselves: 25 keyframes at 40 ms steps from zero.
    auto sink = std::make_shared<NullRenderer>();
    g.AddFilter(sink, "null");
    ASSERT_EQ(g.ConnectDirect(*lavf->GetPin(0), sink->Input()), Code::Ok);
    std::vector<StreamTime> starts;
    int sync = 0;
    sink->SetSampleCallback([&](const MediaSample& s) {
        StreamTime t0 = 0, t1 = 0;
        EXPECT_EQ(s.GetTime(t0, t1), Code::Ok);
        EXPECT_EQ(t1 - t0, 400000);
        EXPECT_GT(s.GetActualDataLength(), 100);
        starts.push_back(t0);
        sync += s.IsSyncPoint() ? 1 : 0;
    });
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(30000, code, hr));
    g.Stop();
    ASSERT_EQ(starts.size(), 25u);
    for (std::size_t i = 0; i < starts.size(); ++i)
        EXPECT_EQ(starts[i], static_cast<StreamTime>(i) * 400000) << i;
    EXPECT_EQ(sync, 25);

    const Decoded all = decodeAll(path);
    EXPECT_EQ(all.pictures, 25);
    EXPECT_EQ(all.audioBytes, 44100 * 2);
    const Decoded tail = decodeAll(path, 15);
    EXPECT_EQ(tail.pictures, 10);
    EXPECT_LT(tail.audioBytes, 44100 * 2 * 11 / 20);
    EXPECT_GT(tail.audioBytes, 44100 * 2 * 7 / 20);
}

TEST(LavfSplitter, StartBetweenKeyframesDecodesFromTheKeyframeButShowsOnlyFromTheStart) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const std::string path = makeAvi(dir, "gop.avi", "mpeg4", {"-g", "10", "-bf", "0"});
    const Decoded tail = decodeAll(path, 15, false);
    EXPECT_EQ(tail.pictures, 10);
    ASSERT_FALSE(tail.pictureTimes.empty());
    EXPECT_EQ(tail.pictureTimes.front(), 15 * 400000);
}

TEST(LavfSplitter, FileOurDemuxerRefusesStillPlays) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const std::string good = makeAvi(dir, "good.avi", "mjpeg");
    // The header list's type damaged: no stream headers for our demuxer, while libavformat
    // reads the headers inside any list.
    std::ifstream in(good, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string hdrl = "hdrl";
    auto at = std::search(bytes.begin(), bytes.end(), hdrl.begin(), hdrl.end());
    ASSERT_NE(at, bytes.end());
    at[3] = 'x';
    const std::string bad = dir.file("bad.avi");
    std::ofstream(bad, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    avi::AviDemuxer dmx;
    ASSERT_FALSE(dmx.open(bad));
    EXPECT_FALSE(IsDvAvi(bad));
    EXPECT_NE(dynamic_cast<LavfSplitterFilter*>(CreateAviSplitter(bad).get()), nullptr);
    const Decoded all = decodeAll(bad);
    EXPECT_EQ(all.pictures, 25);
    EXPECT_EQ(all.audioBytes, 44100 * 2);

    // Not a media file at all: the connection is refused, nothing streams.
    const std::string junk = dir.file("junk.avi");
    std::ofstream(junk) << "not a media file at all";
    Graph g;
    FilterPtr splitter = CreateAviSplitter(junk);
    EXPECT_NE(joinSource(g, splitter, junk), Code::Ok);
    EXPECT_EQ(splitter->GetOutputPin(0), nullptr);
}

TEST(LavfSplitter, DvFilesKeepOurDemuxer) {
    TempDir dir;
    std::string error;
    for (const char* description : {"type=2 frames=5", "type=1 standard=ntsc frames=5"}) {
        const std::string path = dir.file("dv.avi");
        ASSERT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
        EXPECT_TRUE(IsDvAvi(path)) << description;
        EXPECT_NE(dynamic_cast<AviSplitterFilter*>(CreateAviSplitter(path).get()), nullptr);
    }
    EXPECT_FALSE(IsDvAvi(dir.file("missing.avi")));
}

// The splitter chosen for one file takes over the parse of that file only: connected to another
// file's source, it reads that file.
TEST(LavfSplitter, TheChosenDvSplitterReadsTheFileItIsConnectedTo) {
    TempDir dir;
    std::string error;
    const std::string type2 = dir.file("type2.avi"), type1 = dir.file("type1.avi");
    ASSERT_TRUE(fixtures::WriteDvFile(type2, "type=2 frames=5", error)) << error;
    ASSERT_TRUE(fixtures::WriteDvFile(type1, "type=1 standard=ntsc frames=5", error)) << error;
    for (const auto& [chosenFor, connectedTo] :
         {std::pair{type2, type2}, std::pair{type2, type1}, std::pair{type1, type1}}) {
        FilterPtr chosen = CreateAviSplitter(chosenFor);
        auto* splitter = dynamic_cast<AviSplitterFilter*>(chosen.get());
        ASSERT_NE(splitter, nullptr);
        Graph g;
        ASSERT_EQ(joinSource(g, chosen, connectedTo), Code::Ok);
        MediaType mt;
        ASSERT_EQ(splitter->GetMediaType(*splitter->GetPin(0), 0, mt), Code::Ok);
        EXPECT_EQ(mt.majorType, connectedTo == type1 ? MajorType::Interleaved : MajorType::Video)
            << chosenFor << " -> " << connectedTo;
    }
}

TEST(LavfSplitter, StopWhilePausedAndRunningIsClean) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const std::string path = makeAvi(dir, "m.avi", "mjpeg");
    Graph g;
    auto source = std::make_shared<FileSourceFilter>();
    auto splitter = std::make_shared<LavfSplitterFilter>();
    auto vsink = std::make_shared<NullRenderer>();
    auto asink = std::make_shared<NullRenderer>();
    g.AddFilter(source, "source");
    g.AddFilter(splitter, "splitter");
    g.AddFilter(vsink, "video");
    g.AddFilter(asink, "audio");
    ASSERT_EQ(source->Load(path), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(source->Output(), splitter->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*splitter->GetPin(0), vsink->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*splitter->GetPin(1), asink->Input()), Code::Ok);
    test::Counter seen;
    vsink->SetSampleCallback([&](const MediaSample&) { seen.Add(); });
    for (int round = 0; round < 3; ++round) {
        seen.Reset();
        ASSERT_EQ(g.Pause(), Code::Ok);
        FilterState st;
        EXPECT_EQ(g.GetState(2000, st), Code::Ok);
        EXPECT_EQ(st, FilterState::Paused);
        EXPECT_EQ(seen.Value(), 1);
        EXPECT_EQ(g.Stop(), Code::Ok);
    }
    g.SetPaced(true);
    ASSERT_EQ(g.Run(), Code::Ok);
    // Running for real: past the first picture, while the last is most of a second away.
    ASSERT_TRUE(seen.WaitFor(2, std::chrono::seconds(30)));
    EXPECT_EQ(g.Stop(), Code::Ok);
    EXPECT_LT(seen.Value(), 25);
}

}  // namespace
}  // namespace kelvor::media

// The media engine on real DV files made by the fixture library: DV audio in and out of DIF
// blocks, the files as independent readers see them, a paused graph, and the DV round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numeric>

#include "core/avi/AviDemuxer.h"
#include "core/dv/DvPacks.h"
#include "fixtures/DvFixture.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvAudio.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/PictureConvert.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/Renderer.h"
#include "media/engine/TransformFilter.h"
#include "media/engine/VideoDecoder.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor::media {
namespace {

namespace fs = std::filesystem;
using fixtures::ExpectedFrame;

using test::TempDir;

std::string make(const TempDir& dir, const std::string& name, const std::string& description) {
    const std::string path = dir.file(name);
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
    return path;
}

std::vector<std::vector<std::uint8_t>> readFrames(const std::string& path) {
    std::vector<std::vector<std::uint8_t>> frames;
    avi::AviDemuxer d;
    if (!d.open(path))
        return frames;
    const int v = d.videoStream();
    if (v < 0)
        return frames;
    for (std::uint64_t i = 0; i < d.chunkCount(static_cast<std::size_t>(v)); ++i) {
        std::vector<std::uint8_t> buf(dv::kFrameSize625);
        const auto n = d.readChunk(static_cast<std::size_t>(v), i, buf);
        if (!n)
            break;
        buf.resize(*n);
        frames.push_back(std::move(buf));
    }
    return frames;
}

std::uint64_t pcmSampleFrames(const std::string& path) {
    avi::AviDemuxer d;
    if (!d.open(path) || d.audioStream() < 0)
        return 0;
    return d.streams()[static_cast<std::size_t>(d.audioStream())].TotalBytes / 4;
}

// ---- DV audio ----

TEST(DvAudio, SixteenBitSamplesComeBackExactlyFromBothStandards) {
    for (const bool pal : {true, false}) {
        for (const int rate : {48000, 44100, 32000}) {
            std::vector<std::uint8_t> frame(pal ? dv::kFrameSize625 : dv::kFrameSize525, 0);
            dvaudio::FrameAudio a;
            a.pal = pal;
            a.sampleRate = rate;
            a.samples = dvaudio::SamplesForFrame(pal, rate, 1);
            std::vector<std::int16_t> in(static_cast<std::size_t>(2 * a.samples));
            for (std::size_t i = 0; i < in.size(); ++i)
                in[i] = static_cast<std::int16_t>(i * 37 - 20000);
            ASSERT_TRUE(dvaudio::InsertAudio(frame, a, in));
            const auto read = dvaudio::ReadFrameAudio(frame);
            ASSERT_TRUE(read);
            EXPECT_EQ(read->sampleRate, rate);
            EXPECT_EQ(read->samples, a.samples);
            std::vector<std::int16_t> out(in.size());
            ASSERT_EQ(dvaudio::ExtractPair(frame, *read, 0, out), a.samples);
            EXPECT_EQ(in, out) << "pal=" << pal << " rate=" << rate;
        }
    }
}

TEST(DvAudio, SampleCountsSpreadEvenlyAndStayInsideTheFrame) {
    EXPECT_EQ(dvaudio::SamplesForFrame(true, 48000, 7), 1920);
    int sum = 0;
    for (int f = 0; f < 5; ++f)
        sum += dvaudio::SamplesForFrame(false, 48000, f);
    EXPECT_EQ(sum, 8008);
    for (int f = 0; f < 15; ++f) {
        const int n = dvaudio::SamplesForFrame(false, 32000, f);
        EXPECT_TRUE(n == 1067 || n == 1068);
    }
    std::vector<std::uint8_t> frame(dv::kFrameSize525);
    dvaudio::FrameAudio a{false, 48000, 16, 1, 2000};  // more than a 525 frame can hold
    std::vector<std::int16_t> pcm(4000);
    EXPECT_FALSE(dvaudio::InsertAudio(frame, a, pcm));
    EXPECT_FALSE(dvaudio::InsertAudio(std::span<std::uint8_t>(frame).first(1000), a, pcm));
}

TEST(DvAudio, TwelveBitCodesExpandMonotonicallyAndCompressBack) {
    for (int code = -2047; code <= 2047; ++code) {
        const auto c = static_cast<std::uint16_t>(code & 0xFFF);
        EXPECT_EQ(dvaudio::Compress12(dvaudio::Expand12(c)), c) << code;
        if (code > -2047) {
            EXPECT_LT(dvaudio::Expand12(static_cast<std::uint16_t>((code - 1) & 0xFFF)),
                      dvaudio::Expand12(c));
        }
    }
    std::vector<std::uint8_t> frame(dv::kFrameSize525);
    dvaudio::FrameAudio a{false, 32000, 12, 2, 1068};
    std::vector<std::int16_t> p0(2 * 1068), p1(2 * 1068);
    for (std::size_t i = 0; i < p0.size(); ++i) {
        const auto code = static_cast<std::uint16_t>(i % 4000);
        p0[i] = code == 0x800 ? 0 : dvaudio::Expand12(code);  // 800 hex is the error code
        p1[i] = static_cast<std::int16_t>(-p0[i]);
    }
    ASSERT_TRUE(dvaudio::InsertAudio(frame, a, p0, p1));
    const auto read = dvaudio::ReadFrameAudio(frame);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->quantization, 12);
    std::vector<std::int16_t> o0(p0.size()), o1(p1.size());
    dvaudio::ExtractPair(frame, *read, 0, o0);
    dvaudio::ExtractPair(frame, *read, 1, o1);
    EXPECT_EQ(o0, p0);
    for (std::size_t i = 0; i < p1.size(); ++i)
        EXPECT_NEAR(o1[i], p1[i], std::abs(p1[i]) / 16 + 2);
}

// FFmpeg's own DV demuxer reads back the sound we put into the DIF blocks.
TEST(DvAudio, FfmpegReadsTheSameSamples) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    for (const std::string audio : {"48k", "32k", "32k12"}) {
        const std::string path = make(dir, "a.dv", "standard=ntsc frames=10 audio=" + audio);
        const auto r = test::RunTool(
            {"ffmpeg", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "s16le", "-"}, dir.path());
        ASSERT_EQ(r.exitCode, 0);
        std::vector<std::int16_t> ours;
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> frame(dv::kFrameSize525);
        while (in.read(reinterpret_cast<char*>(frame.data()),
                       static_cast<std::streamsize>(frame.size()))) {
            const auto a = dvaudio::ReadFrameAudio(frame);
            ASSERT_TRUE(a);
            std::vector<std::int16_t> pcm(static_cast<std::size_t>(2 * a->samples));
            dvaudio::ExtractPair(frame, *a, 0, pcm);
            ours.insert(ours.end(), pcm.begin(), pcm.end());
        }
        ASSERT_EQ(r.out.size(), ours.size() * 2) << audio;
        std::size_t differ = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const auto v =
                static_cast<std::int16_t>(static_cast<std::uint8_t>(r.out[2 * i]) |
                                          (static_cast<std::uint8_t>(r.out[2 * i + 1]) << 8));
            differ += v != ours[i];
        }
        EXPECT_EQ(differ, 0u) << audio;
    }
}

// ---- the files as independent readers see them ----

std::string mediainfoValue(const std::string& report, const std::string& key) {
    std::size_t pos = 0;
    while ((pos = report.find(key, pos)) != std::string::npos) {
        const std::size_t colon = report.find(':', pos);
        const std::size_t eol = report.find('\n', pos);
        if (colon != std::string::npos && colon < eol &&
            report.find_first_not_of(' ', pos + key.size()) == colon) {
            std::string v = report.substr(colon + 2, eol - colon - 2);
            return v;
        }
        pos = eol;
    }
    return {};
}

TEST(DvFiles, MediainfoReadsWhatTheDescriptionSays) {
    if (!test::ToolAvailable("mediainfo"))
        GTEST_SKIP() << "mediainfo not installed";
    TempDir dir;
    struct Case {
        std::string name, description, date, timecode, standard, aspect, rate;
    };
    const Case cases[] = {
        {"pal2.avi", "type=2 frames=30 date=2004-07-14T10:20:30 tc=01:02:03:04 picture=moving",
         "2004-07-14 10:20:30", "01:02:03:04", "PAL", "4:3", "48.0 kHz"},
        {"ntsc1.avi",
         "type=1 standard=ntsc aspect=16:9 audio=32k frames=30 date=1999-12-31T23:59:59 "
         "tc=00:10:00:00",
         "1999-12-31 23:59:59", "00:10:00:00", "NTSC", "16:9", "32.0 kHz"},
        {"raw.dv", "standard=pal audio=44k frames=10 date=2010-01-02T03:04:05 tc=02:00:00:10",
         "2010-01-02 03:04:05", "02:00:00:10", "PAL", "4:3", "44.1 kHz"},
    };
    for (const Case& c : cases) {
        const std::string path = make(dir, c.name, c.description);
        const auto r = test::RunTool({"mediainfo", path}, dir.path());
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(mediainfoValue(r.out, "Recorded date").substr(0, 19), c.date) << c.name;
        EXPECT_EQ(mediainfoValue(r.out, "Time code of first frame"), c.timecode) << c.name;
        EXPECT_EQ(mediainfoValue(r.out, "Standard"), c.standard) << c.name;
        EXPECT_EQ(mediainfoValue(r.out, "Display aspect ratio"), c.aspect) << c.name;
        EXPECT_EQ(mediainfoValue(r.out, "Sampling rate"), c.rate) << c.name;
        if (test::ToolAvailable("ffmpeg")) {
            const auto f = test::RunTool(
                {"ffmpeg", "-v", "error", "-xerror", "-i", path, "-f", "null", "-"}, dir.path());
            EXPECT_EQ(f.exitCode, 0) << c.name;
        }
    }
}

TEST(DvFiles, EveryFrameCarriesItsDatecodeTimecodeAndFaults) {
    TempDir dir;
    std::string parseError;
    const auto file = fixtures::ParseDescription(
        "type=2 frames=30 date=2004-07-14T23:59:59 tc=00:00:59:20; frames=5 fault=zeroed-ids; "
        "frames=5 fault=ff;"
        "frames=5 fault=only-vaux; frames=5 fault=only-subcode; frames=5 date=none aspect=16:9",
        parseError);
    ASSERT_TRUE(file);
    std::string error;
    const std::string path = dir.file("f.avi");
    ASSERT_TRUE(fixtures::WriteDvFile(path, *file, error)) << error;
    const auto expected = fixtures::ExpectedFrames(*file);
    const auto frames = readFrames(path);
    ASSERT_EQ(frames.size(), 55u);
    EXPECT_EQ(expected[24].Datecode->Day, 14);
    EXPECT_EQ(expected[25].Datecode->Day, 15);  // midnight passes 25 frames after 23:59:59
    for (std::size_t i = 0; i < frames.size(); ++i) {
        dv::Datecode d;
        const bool has = dv::ReadDatecode(frames[i], dv::kSequences625, d);
        const bool faultFF = i >= 35 && i < 40;
        EXPECT_EQ(has, expected[i].Datecode.has_value() && !faultFF) << i;
        if (expected[i].Datecode && !faultFF) {
            EXPECT_EQ(d, *expected[i].Datecode) << i;
        }
        dv::Timecode tc;
        ASSERT_TRUE(dv::ReadTimecode(frames[i], dv::kSequences625, tc));
        EXPECT_EQ(tc, expected[i].Timecode) << i;
        bool wide = false;
        ASSERT_TRUE(dv::ReadWide(frames[i], dv::kSequences625, wide));
        EXPECT_EQ(wide, i >= 50);
    }
    EXPECT_EQ(expected[10].Timecode, (dv::Timecode{0, 1, 0, 5}));
}

TEST(DvFiles, BadDescriptionsAreRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(fixtures::ParseDescription("frames=0", error));
    EXPECT_FALSE(fixtures::ParseDescription("date=2004-02-30T10:00:00", error));
    EXPECT_FALSE(fixtures::ParseDescription("colour=red", error));
    EXPECT_NE(error.find("colour"), std::string::npos);
    EXPECT_FALSE(fixtures::ParseDescription("", error));
}

// ---- graphs ----

struct Chain {
    std::shared_ptr<FileSourceFilter> source = std::make_shared<FileSourceFilter>();
    std::shared_ptr<AviSplitterFilter> splitter = std::make_shared<AviSplitterFilter>();
    std::shared_ptr<DvSplitterFilter> dvSplitter = std::make_shared<DvSplitterFilter>();
};

Status openSource(Graph& g, Chain& c, const std::string& path) {
    g.AddFilter(c.source, "source");
    g.AddFilter(c.splitter, "avisplitter");
    Status hr = c.source->Load(path);
    if (hr.failed())
        return hr;
    return g.ConnectDirect(c.source->Output(), c.splitter->Input());
}

TEST(Graph, PauseDeliversExactlyTheFirstFrameOnce) {
    TempDir dir;
    const std::string path2 = make(dir, "t2.avi", "type=2 frames=20 date=2004-07-14T10:00:00");
    const std::string path1 =
        make(dir, "t1.avi", "type=1 standard=ntsc frames=20 audio=32k date=2004-07-14T10:00:00");
    for (const std::string& path : {path2, path1}) {
        Graph g;
        Chain c;
        ASSERT_EQ(openSource(g, c, path), Code::Ok);
        auto renderer = std::make_shared<NullRenderer>();
        g.AddFilter(renderer, "nullrender");
        std::atomic<int> seen{0};
        std::atomic<std::int32_t> length{0};
        renderer->SetSampleCallback([&](const MediaSample& s) {
            ++seen;
            length = s.GetActualDataLength();
        });
        Pin* p = c.splitter->GetPin(0);
        MediaType mt;
        if (c.splitter->StreamCount() == 1) {
            g.AddFilter(c.dvSplitter, "dvsplitter");
            ASSERT_EQ(g.ConnectDirect(*p, c.dvSplitter->Input()), Code::Ok);
            p = c.dvSplitter->GetPin(1);
        }
        ASSERT_EQ(g.ConnectDirect(*p, renderer->Input()), Code::Ok);
        ASSERT_EQ(p->ConnectionMediaType(mt), Code::Ok);
        EXPECT_EQ(mt.majorType, MajorType::Video);
        ASSERT_EQ(g.Pause(), Code::Ok);
        FilterState st;
        EXPECT_EQ(g.GetState(1000, st), Code::Ok);
        EXPECT_EQ(st, FilterState::Paused);
        // The renderer holds the first frame until the graph runs or stops, so a second one
        // could only be seen after a release: no time needs to pass to tell.
        EXPECT_EQ(seen.load(), 1);
        EXPECT_EQ(static_cast<std::size_t>(length.load()),
                  c.splitter->StreamCount() == 1 ? dv::kFrameSize525 : dv::kFrameSize625);
        EXPECT_EQ(g.Stop(), Code::Ok);
        EXPECT_EQ(seen.load(), 1);
        std::int64_t duration = 0;
        g.SetTimeFormat(TimeFormat::Frame);
        ASSERT_EQ(g.GetDuration(duration), Code::Ok);
        EXPECT_EQ(duration, 20);
        // Running to the end completes the graph and shows every frame.
        seen = 0;
        ASSERT_EQ(g.Run(), Code::Ok);
        int code = 0;
        Status hr = Code::Fail;
        ASSERT_TRUE(g.WaitForCompletion(10000, code, hr));
        EXPECT_EQ(code, EventCode::Complete);
        EXPECT_EQ(seen.load(), 20);
        g.Stop();
        // From frame 15 to the end: five frames.
        seen = 0;
        ASSERT_EQ(g.SetPositions(15, -1), Code::Ok);
        ASSERT_EQ(g.Run(), Code::Ok);
        ASSERT_TRUE(g.WaitForCompletion(10000, code, hr));
        EXPECT_EQ(seen.load(), 5);
        g.Stop();
    }
}

TEST(Graph, RefusedConnectionsAndMissingFilesAreResults) {
    TempDir dir;
    Graph g;
    Chain c;
    EXPECT_EQ(openSource(g, c, dir.file("missing.avi")), Code::Fail);
    const std::string junk = dir.file("junk.avi");
    std::ofstream(junk) << "not an AVI file at all";
    ASSERT_EQ(c.source->Load(junk), Code::Ok);
    EXPECT_EQ(g.ConnectDirect(c.source->Output(), c.splitter->Input()), Code::TypeNotAccepted);
    auto decoder = std::make_shared<DvVideoDecoderFilter>();
    g.AddFilter(decoder, "dec");
    EXPECT_EQ(g.ConnectDirect(c.source->Output(), decoder->Input()), Code::TypeNotAccepted);
    EXPECT_EQ(g.AddFilter(decoder, "again"), Code::InvalidArgument);
    EXPECT_EQ(g.ConnectDirect(decoder->Input(), c.splitter->Input()), Code::InvalidDirection);
}

// Copies the header blocks of each frame before decoding and puts them back after encoding,
// as the program's DV header filter does.
class HeaderTap : public InPlaceTransformFilter {
  public:
    HeaderTap(std::deque<std::vector<std::uint8_t>>& q, std::mutex& m)
        : InPlaceTransformFilter("tap", "", false), q_(q), m_(m) {}
    Status CheckInputType(const MediaType& mt) override {
        return mt.majorType == MajorType::Video && mt.subtype == Subtype::Dvsd
                   ? Code::Ok
                   : Code::TypeNotAccepted;
    }
    Status Transform(MediaSample& s) override {
        std::lock_guard lock(m_);
        q_.emplace_back(s.data().begin(), s.data().end());
        return Code::Ok;
    }

  private:
    std::deque<std::vector<std::uint8_t>>& q_;
    std::mutex& m_;
};

class HeaderPut : public InPlaceTransformFilter {
  public:
    HeaderPut(std::deque<std::vector<std::uint8_t>>& q, std::mutex& m)
        : InPlaceTransformFilter("put", "", true), q_(q), m_(m) {}
    Status CheckInputType(const MediaType& mt) override {
        return mt.majorType == MajorType::Video && mt.subtype == Subtype::Dvsd
                   ? Code::Ok
                   : Code::TypeNotAccepted;
    }
    Status Transform(MediaSample& s) override {
        std::lock_guard lock(m_);
        if (q_.empty())
            return Code::Unexpected;
        const auto& h = q_.front();
        auto d = s.data();
        if (h.size() != d.size())
            return Code::Unexpected;
        for (std::size_t seq = 0; seq < d.size() / dv::kDifSequenceSize; ++seq)
            std::copy_n(h.begin() + static_cast<std::ptrdiff_t>(seq * dv::kDifSequenceSize), 480,
                        d.begin() + static_cast<std::ptrdiff_t>(seq * dv::kDifSequenceSize));
        q_.pop_front();
        return Code::Ok;
    }

  private:
    std::deque<std::vector<std::uint8_t>>& q_;
    std::mutex& m_;
};

void roundTrip(const std::string& in, const std::string& out, bool type1Out, bool pal) {
    Graph g;
    Chain c;
    ASSERT_EQ(openSource(g, c, in), Code::Ok);
    std::deque<std::vector<std::uint8_t>> headers;
    std::mutex m;
    auto tap = std::make_shared<HeaderTap>(headers, m);
    auto put = std::make_shared<HeaderPut>(headers, m);
    auto dec = std::make_shared<DvVideoDecoderFilter>();
    auto enc = std::make_shared<DvVideoEncoderFilter>();
    auto mux = std::make_shared<DvMuxerFilter>();
    auto aviMux = std::make_shared<AviMuxFilter>();
    auto writer = std::make_shared<FileWriterFilter>();
    auto split2 = std::make_shared<DvSplitterFilter>();
    for (auto [f, n] : std::initializer_list<std::pair<FilterPtr, const char*>>{{tap, "tap"},
                                                                                {put, "put"},
                                                                                {dec, "dec"},
                                                                                {enc, "enc"},
                                                                                {mux, "dvmux"},
                                                                                {aviMux, "avimux"},
                                                                                {writer, "writer"}})
        ASSERT_EQ(g.AddFilter(f, n), Code::Ok);
    ASSERT_EQ(writer->SetFileName(out), Code::Ok);
    enc->SetVideoFormat(pal ? DvVideoFormat::Pal : DvVideoFormat::Ntsc);
    Pin* video = c.splitter->GetPin(0);
    Pin* audio = c.splitter->StreamCount() > 1 ? c.splitter->GetPin(1) : nullptr;
    if (c.splitter->StreamCount() == 1) {
        g.AddFilter(c.dvSplitter, "dvsplitter");
        ASSERT_EQ(g.ConnectDirect(*video, c.dvSplitter->Input()), Code::Ok);
        video = c.dvSplitter->GetPin(1);
        audio = c.dvSplitter->GetPin(2);
    }
    ASSERT_EQ(g.ConnectDirect(*video, tap->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(tap->Output(), dec->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(dec->Output(), enc->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(enc->Output(), put->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(put->Output(), *mux->GetPin(0)), Code::Ok);
    ASSERT_EQ(mux->PinCount(), 3);
    ASSERT_EQ(g.ConnectDirect(*audio, *mux->GetPin(1)), Code::Ok);
    Pin& muxOut = *mux->GetPin(mux->PinCount() - 1);
    if (type1Out) {
        ASSERT_EQ(g.ConnectDirect(muxOut, *aviMux->GetPin(1)), Code::Ok);
    } else {
        g.AddFilter(split2, "dvsplitter2");
        ASSERT_EQ(g.ConnectDirect(muxOut, split2->Input()), Code::Ok);
        ASSERT_EQ(g.ConnectDirect(*split2->GetPin(1), *aviMux->GetPin(1)), Code::Ok);
        ASSERT_EQ(g.ConnectDirect(*split2->GetPin(2), *aviMux->GetPin(2)), Code::Ok);
    }
    ASSERT_EQ(g.ConnectDirect(aviMux->Output(), writer->Input()), Code::Ok);
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(120000, code, hr));
    EXPECT_EQ(code, EventCode::Complete) << std::hex << hr;
    EXPECT_EQ(g.Stop(), Code::Ok);
}

void expectSameFrames(const std::string& in, const std::string& out, bool pal) {
    const auto a = readFrames(in);
    const auto b = readFrames(out);
    ASSERT_EQ(a.size(), b.size());
    const int seq = pal ? dv::kSequences625 : dv::kSequences525;
    std::int64_t samplesA = 0, samplesB = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        dv::Datecode da, db;
        ASSERT_EQ(dv::ReadDatecode(a[i], seq, da), dv::ReadDatecode(b[i], seq, db)) << i;
        EXPECT_EQ(da, db) << i;
        dv::Timecode ta, tb;
        ASSERT_TRUE(dv::ReadTimecode(b[i], seq, tb)) << i;
        ASSERT_TRUE(dv::ReadTimecode(a[i], seq, ta));
        EXPECT_EQ(ta, tb) << i;
        const auto fa = dvaudio::ReadFrameAudio(a[i]);
        const auto fb = dvaudio::ReadFrameAudio(b[i]);
        ASSERT_TRUE(fa && fb) << i;
        EXPECT_EQ(fa->sampleRate, fb->sampleRate);
        samplesA += fa->samples;
        samplesB += fb->samples;
    }
    EXPECT_EQ(samplesA, samplesB);
}

TEST(RoundTrip, Type2PalKeepsFramesSoundDatecodesAndTimecodes) {
    TempDir dir;
    const std::string in =
        make(dir, "in.avi",
             "type=2 frames=40 date=2004-07-14T10:00:00 tc=00:01:00:00 picture=moving;"
             "frames=30 date=2004-07-14T12:00:00; frames=20 date=none");
    const std::string out = dir.file("out.avi");
    roundTrip(in, out, false, true);
    expectSameFrames(in, out, true);
    EXPECT_EQ(pcmSampleFrames(out), pcmSampleFrames(in));
    EXPECT_EQ(pcmSampleFrames(out), 90u * 1920);
    if (test::ToolAvailable("ffmpeg")) {
        const auto f = test::RunTool(
            {"ffmpeg", "-v", "error", "-xerror", "-i", out, "-f", "null", "-"}, dir.path());
        EXPECT_EQ(f.exitCode, 0);
    }
}

TEST(RoundTrip, Type1NtscWith32kHzKeepsFramesSoundDatecodesAndTimecodes) {
    TempDir dir;
    const std::string in =
        make(dir, "in.avi",
             "type=1 standard=ntsc aspect=16:9 audio=32k frames=45 date=2001-01-01T00:00:00"
             " tc=10:00:00:00; frames=30 date=2001-01-01T00:05:00 fault=only-vaux");
    const std::string out = dir.file("out.avi");
    roundTrip(in, out, true, false);
    expectSameFrames(in, out, false);
}

TEST(Graph, ResamplerTeeAndColourConverterCarryWholeStreams) {
    TempDir dir;
    const std::string path = make(dir, "in.avi", "type=2 frames=50 date=2004-07-14T10:00:00");
    Graph g;
    Chain c;
    ASSERT_EQ(openSource(g, c, path), Code::Ok);
    auto resampler = std::make_shared<AudioResamplerFilter>();
    auto tee = std::make_shared<InfiniteTeeFilter>();
    auto a = std::make_shared<NullRenderer>();
    auto b = std::make_shared<NullRenderer>();
    auto dec = std::make_shared<DvVideoDecoderFilter>();
    auto colour = std::make_shared<ColourConverterFilter>();
    auto pictures = std::make_shared<NullRenderer>();
    for (auto [f, n] : std::initializer_list<std::pair<FilterPtr, const char*>>{{resampler, "acm1"},
                                                                                {tee, "infinite"},
                                                                                {a, "a"},
                                                                                {b, "b"},
                                                                                {dec, "dec"},
                                                                                {colour, "color"},
                                                                                {pictures, "p"}})
        ASSERT_EQ(g.AddFilter(f, n), Code::Ok);
    ASSERT_EQ(resampler->SetOutputRate(44100), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*c.splitter->GetPin(1), resampler->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(resampler->Output(), *tee->GetPin(0)), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*tee->GetPin(1), a->Input()), Code::Ok);
    ASSERT_EQ(tee->PinCount(), 3);
    ASSERT_EQ(g.ConnectDirect(*tee->GetPin(2), b->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*c.splitter->GetPin(0), dec->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(dec->Output(), colour->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(colour->Output(), pictures->Input()), Code::Ok);
    EXPECT_EQ(dec->Output().CurrentMediaType().subtype, Subtype::I420);
    EXPECT_EQ(colour->Output().CurrentMediaType().subtype, Subtype::Rgb24);
    std::atomic<std::int64_t> bytesA{0}, bytesB{0}, pictureBytes{0};
    a->SetSampleCallback([&](const MediaSample& s) { bytesA += s.GetActualDataLength(); });
    b->SetSampleCallback([&](const MediaSample& s) { bytesB += s.GetActualDataLength(); });
    pictures->SetSampleCallback(
        [&](const MediaSample& s) { pictureBytes += s.GetActualDataLength(); });
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(30000, code, hr));
    EXPECT_EQ(code, EventCode::Complete);
    g.Stop();
    EXPECT_EQ(bytesA.load(), bytesB.load());
    EXPECT_NEAR(static_cast<double>(bytesA.load()) / 4, 50 * 1920 * 44100.0 / 48000, 64);
    EXPECT_EQ(pictureBytes.load(), 50 * 720 * 576 * 3);
}

TEST(Graph, OtherCodecsDecodeToRgb24) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    const auto r =
        test::RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                       "testsrc=duration=1:size=320x240:rate=25", "-c:v", "mjpeg", "m.avi"},
                      dir.path());
    ASSERT_EQ(r.exitCode, 0);
    Graph g;
    Chain c;
    ASSERT_EQ(openSource(g, c, dir.file("m.avi")), Code::Ok);
    auto dec = std::make_shared<VideoDecoderFilter>();
    auto sink = std::make_shared<NullRenderer>();
    g.AddFilter(dec, "decoder");
    g.AddFilter(sink, "null");
    auto dvdec = std::make_shared<DvVideoDecoderFilter>();
    g.AddFilter(dvdec, "dv");
    EXPECT_EQ(g.ConnectDirect(*c.splitter->GetPin(0), dvdec->Input()), Code::TypeNotAccepted);
    ASSERT_EQ(g.ConnectDirect(*c.splitter->GetPin(0), dec->Input()), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(dec->Output(), sink->Input()), Code::Ok);
    std::atomic<int> frames{0};
    sink->SetSampleCallback([&](const MediaSample& s) {
        EXPECT_EQ(s.GetActualDataLength(), 320 * 240 * 3);
        ++frames;
    });
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(30000, code, hr));
    g.Stop();
    EXPECT_EQ(frames.load(), 25);
}

}  // namespace
}  // namespace kelvor::media

namespace kelvor::media {
namespace {

// Asked for I420, the decoder gives MJPEG's full-range pictures in studio range, as ffmpeg's own
// conversion does (within one step of rounding), planes packed one after the other.
TEST(Graph, OtherCodecsDecodeToStudioRangeI420WhenAsked) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                             "testsrc=duration=0.2:size=320x240:rate=25", "-c:v", "mjpeg",
                             "-pix_fmt", "yuvj420p", "m.avi"},
                            dir.path())
                  .exitCode,
              0);
    ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-i", "m.avi", "-frames:v", "1", "-f",
                             "rawvideo", "-pix_fmt", "yuv420p", "first.yuv"},
                            dir.path())
                  .exitCode,
              0);
    std::ifstream in(dir.file("first.yuv"), std::ios::binary);
    const std::vector<std::uint8_t> expected{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(expected.size(), 320u * 240u * 3 / 2);
    Graph g;
    Chain c;
    ASSERT_EQ(openSource(g, c, dir.file("m.avi")), Code::Ok);
    auto dec = std::make_shared<VideoDecoderFilter>();
    auto sink = std::make_shared<NullRenderer>();
    g.AddFilter(dec, "decoder");
    g.AddFilter(sink, "null");
    ASSERT_EQ(g.ConnectDirect(*c.splitter->GetPin(0), dec->Input()), Code::Ok);
    const MediaType i420 =
        MakeVideoType(Subtype::I420, MakePlanarInfo(Subtype::I420, 320, 240, 400000));
    ASSERT_EQ(g.ConnectDirect(dec->Output(), sink->Input(), &i420), Code::Ok);
    std::mutex m;
    std::vector<std::vector<std::uint8_t>> pictures;
    sink->SetSampleCallback([&](const MediaSample& s) {
        std::lock_guard lock(m);
        pictures.emplace_back(s.data().begin(), s.data().end());
    });
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(30000, code, hr));
    g.Stop();
    ASSERT_EQ(pictures.size(), 5u);
    ASSERT_EQ(pictures[0].size(), expected.size());
    int worst = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        worst = std::max(worst, std::abs(pictures[0][i] - expected[i]));
    EXPECT_LE(worst, 1);
    EXPECT_GE(*std::min_element(pictures[0].begin(), pictures[0].begin() + 320 * 240), 16);
}

// Planar pictures change height and layout by blending rows: a copy at the same size, uniform
// planes stay uniform, chroma pairs are averaged into 4:1:1 and interpolated back into 4:2:0.
TEST(PictureConvert, PlanarResizeBlendsRowsAndConvertsChromaLayouts) {
    auto planes = [](std::vector<std::uint8_t>& b, int w, int h, PlanarLayout l,
                     std::uint8_t*(&p)[3], int(&st)[3]) {
        const int cw = l == PlanarLayout::Yuv411 ? w / 4 : w / 2;
        const int ch = l == PlanarLayout::Yuv411 ? h : h / 2;
        b.assign(static_cast<std::size_t>(w * h + 2 * cw * ch), 0);
        p[0] = b.data();
        p[1] = p[0] + w * h;
        p[2] = p[1] + cw * ch;
        st[0] = w;
        st[1] = st[2] = cw;
    };
    std::vector<std::uint8_t> src, dst, scratch(8);
    std::uint8_t *sp[3], *dp[3];
    int ss[3], ds[3];
    planes(src, 8, 12, PlanarLayout::Yuv420, sp, ss);
    std::iota(src.begin(), src.end(), std::uint8_t{0});
    planes(dst, 8, 12, PlanarLayout::Yuv420, dp, ds);
    PlanarResized(sp, ss, PlanarLayout::Yuv420, 8, 12, dp, ds, PlanarLayout::Yuv420, 12,
                  scratch.data());
    EXPECT_EQ(dst, src);

    std::fill(sp[0], sp[1], std::uint8_t{50});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x) {
            sp[1][y * 4 + x] = static_cast<std::uint8_t>(10 + 20 * x);
            sp[2][y * 4 + x] = 200;
        }
    planes(dst, 8, 10, PlanarLayout::Yuv411, dp, ds);
    PlanarResized(sp, ss, PlanarLayout::Yuv420, 8, 12, dp, ds, PlanarLayout::Yuv411, 10,
                  scratch.data());
    EXPECT_TRUE(std::all_of(dp[0], dp[1], [](std::uint8_t v) { return v == 50; }));
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(dp[1][y * 2], 20);
        EXPECT_EQ(dp[1][y * 2 + 1], 60);
        EXPECT_EQ(dp[2][y * 2 + 1], 200);
    }
    std::vector<std::uint8_t> back;
    std::uint8_t* bp[3];
    int bs[3];
    planes(back, 8, 12, PlanarLayout::Yuv420, bp, bs);
    PlanarResized(dp, ds, PlanarLayout::Yuv411, 8, 10, bp, bs, PlanarLayout::Yuv420, 12,
                  scratch.data());
    EXPECT_EQ(std::vector<std::uint8_t>(bp[1], bp[1] + 4),
              (std::vector<std::uint8_t>{20, 30, 50, 60}));
    EXPECT_EQ(bp[2][5], 200);
}

TEST(DvSplitter, FramePacksWinOverAStoredDvinfoThatLiesAboutTheSound) {
    TempDir dir;
    const std::string path =
        make(dir, "liar.avi", "type=1 standard=pal audio=48k frames=25 date=2004-07-14T10:00:00");
    // Announce 32 kHz 12-bit sound in the stored DVINFO, as some capture programs do.
    std::vector<std::uint8_t> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string strf = "strf";
    auto at = std::search(bytes.begin(), bytes.end(), strf.begin(), strf.end());
    ASSERT_NE(at, bytes.end());
    const std::size_t pc4 = static_cast<std::size_t>(at - bytes.begin()) + 8 + 3;
    bytes[pc4] = 0x11;
    bytes[pc4 + 8] = 0x11;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    Graph g;
    Chain c;
    ASSERT_EQ(openSource(g, c, path), Code::Ok);
    ASSERT_EQ(g.AddFilter(c.dvSplitter, "dvsplitter"), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*c.splitter->GetPin(0), c.dvSplitter->Input()), Code::Ok);
    auto sound = std::make_shared<NullRenderer>();
    ASSERT_EQ(g.AddFilter(sound, "sound"), Code::Ok);
    ASSERT_EQ(g.ConnectDirect(*c.dvSplitter->GetPin(2), sound->Input()), Code::Ok);
    const auto wfx = ParseWaveFormatEx(sound->Input().CurrentMediaType().format);
    ASSERT_TRUE(wfx);
    EXPECT_EQ(wfx->nSamplesPerSec, 48000u);
    std::atomic<std::int64_t> soundBytes{0};
    sound->SetSampleCallback([&](const MediaSample& s) { soundBytes += s.GetActualDataLength(); });
    ASSERT_EQ(g.Run(), Code::Ok);
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(g.WaitForCompletion(30000, code, hr));
    g.Stop();
    EXPECT_EQ(soundBytes.load(), 25 * 1920 * 4) << "one second of 48 kHz stereo";
}

}  // namespace
}  // namespace kelvor::media

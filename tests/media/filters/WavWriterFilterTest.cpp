#include "media/filters/WavWriterFilter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "media/engine/AviSink.h"
#include "media/engine/ByteStreamFile.h"
#include "media/filters/FilterTestSupport.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor::media {
namespace {

using Frames = std::vector<std::vector<std::uint8_t>>;

std::uint32_t u32At(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + i])) << (8 * i);
    return v;
}

// Sound samples whose bytes count up, so a misplaced one shows.
Frames sound(int count, std::size_t bytes) {
    Frames frames;
    std::uint8_t v = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> f(bytes);
        for (auto& b : f)
            b = v++;
        frames.push_back(std::move(f));
    }
    return frames;
}

// A sink for the WAV stream that refuses the samples from the given one on.
class RefusingSink : public RendererBase {
  public:
    explicit RefusingSink(int refuseFrom) : RendererBase("refusing", ""), refuseFrom_(refuseFrom) {}

  protected:
    Status CheckInputType(const MediaType& mt) override {
        return mt.majorType == MajorType::Stream ? Code::Ok : Code::TypeNotAccepted;
    }
    Status DoRenderSample(const MediaSample&) override {
        return seen_++ < refuseFrom_ ? Code::Ok : Code::Fail;
    }

  private:
    int refuseFrom_;
    int seen_ = 0;
};

// The stream gathers the sound's small writes into blocks: every byte still lands where it was
// written, across block boundaries, beside a large write and under a header written back at the
// start at the producer's stop, and the file is in place only once both users let go.
TEST(ByteStreamFile, GatheredWritesLandWhereTheyWereWritten) {
    kelvor::test::TempDir dir;
    const auto target = dir / "out.wav";
    ByteStreamFile stream(target.string());
    ASSERT_TRUE(stream.Acquire().ok());
    ASSERT_TRUE(stream.Acquire().ok());
    std::string expected(8, '?');
    const auto put = [&](std::size_t size, char fill) {
        const std::string bytes(size, fill);
        ASSERT_TRUE(stream
                        .WriteAt(expected.size(),
                                 {reinterpret_cast<const std::uint8_t*>(bytes.data()), size})
                        .ok());
        expected += bytes;
    };
    for (int k = 0; k < 200; ++k)
        put(7680 - static_cast<std::size_t>(k % 3) * 4, static_cast<char>('a' + k % 26));
    put(ByteStreamFile::kGatherBelow + 1, 'B');
    put(100, 'c');
    const std::string header = "RIFFWAVE";
    ASSERT_TRUE(stream.Seek(0).ok());
    ASSERT_TRUE(
        stream.Write({reinterpret_cast<const std::uint8_t*>(header.data()), header.size()}).ok());
    put(50, 'd');
    stream.Keep();
    ASSERT_TRUE(stream.Release().ok());
    EXPECT_FALSE(std::filesystem::exists(target));
    ASSERT_TRUE(stream.Release().ok());
    expected.replace(0, header.size(), header);
    EXPECT_TRUE(kelvor::test::ReadFile(target) == expected);
}

TEST(WavWriterFilter, IdentityPinsAndTypes) {
    WavWriterFilter filter;
    EXPECT_EQ(filter.DisplayName(), "WavDest filter");
    EXPECT_EQ(filter.ClassId(), "{A89E593E-ACFD-46A7-A532-91B69CA374BB}");
    const MediaType pcm = MakeAudioType(MakePcmFormat(48000, 2));
    EXPECT_EQ(test::CheckType(filter, filter.Input(), pcm), Code::Ok);
    EXPECT_EQ(test::CheckType(filter, filter.Input(), test::DvVideoType()), Code::False);

    Graph graph;
    auto source = std::make_shared<test::SampleSource>(pcm, Frames{});
    auto wave = std::make_shared<WavWriterFilter>();
    test::Chain(graph, {source, wave});
    MediaType out;
    BaseFilter& base = *wave;
    ASSERT_EQ(base.GetMediaType(wave->Output(), 0, out), Code::Ok);
    EXPECT_EQ(out.majorType, MajorType::Stream);
    EXPECT_EQ(out.subtype, Subtype::Wave);
    EXPECT_EQ(base.GetMediaType(wave->Output(), 1, out), Code::NoMoreItems);
    EXPECT_EQ(test::CheckType(*wave, wave->Output(), out), Code::Ok);
    EXPECT_EQ(test::CheckType(*wave, wave->Output(), MakeStreamType(Subtype::Avi)), Code::False);
    EXPECT_EQ(test::CheckType(*wave, wave->Output(), pcm), Code::False);
}

TEST(WavWriterFilter, WritesACanonicalWavFileThroughTheFileWriterWhicheverStopsFirst) {
    kelvor::test::TempDir dir;
    const auto path = dir / "sound.wav";
    const Frames frames = sound(50, 7680);  // two seconds of 48 kHz 16-bit stereo
    std::string expected;
    for (const auto& f : frames)
        expected.append(f.begin(), f.end());
    for (bool writerFirst : {true, false}) {
        kelvor::test::WriteFile(path, "the old file");
        Graph graph;
        auto source =
            std::make_shared<test::SampleSource>(MakeAudioType(MakePcmFormat(48000, 2)), frames);
        auto wave = std::make_shared<WavWriterFilter>();
        auto writer = std::make_shared<FileWriterFilter>();
        ASSERT_EQ(writer->SetFileName(path.string()), Code::Ok);
        // The graph stops its filters in the order they were added.
        if (writerFirst) {
            ASSERT_EQ(graph.AddFilter(writer, "destination"), Code::Ok);
        }
        test::Chain(graph, {source, wave});
        if (!writerFirst) {
            ASSERT_EQ(graph.AddFilter(writer, "destination"), Code::Ok);
        }
        ASSERT_EQ(graph.ConnectDirect(wave->Output(), writer->Input()), Code::Ok);
        Status stopped = Code::Fail;
        EXPECT_EQ(test::RunToEnd(graph, &stopped), EventCode::Complete);
        EXPECT_EQ(stopped, Code::Ok);
        EXPECT_EQ(wave->HeaderSize(), 46u);
        EXPECT_EQ(wave->DataBytes(), expected.size());

        const std::string wav = kelvor::test::ReadFile(path);
        ASSERT_EQ(wav.size(), 46 + expected.size()) << writerFirst;
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(u32At(wav, 4), expected.size() + 46 - 8);
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(u32At(wav, 16), 18u);
        EXPECT_EQ(
            wav.substr(20, 18),
            std::string(reinterpret_cast<const char*>(Serialize(MakePcmFormat(48000, 2)).data()),
                        18));
        EXPECT_EQ(wav.substr(38, 4), "data");
        EXPECT_EQ(u32At(wav, 42), expected.size());
        EXPECT_EQ(wav.substr(46), expected);
        // Nothing but the finished file is left beside it.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
    if (kelvor::test::ToolAvailable("ffprobe")) {
        const auto r = kelvor::test::RunTool(
            {"ffprobe", "-v", "error", "-show_entries", "stream=sample_rate,channels,duration_ts",
             "-of", "default=nw=1", path.string()},
            dir.path());
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find("sample_rate=48000"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("channels=2"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("duration_ts=96000"), std::string::npos) << r.out;
    }
}

TEST(WavWriterFilter, ARunThatCannotStartLeavesTheOldFile) {
    kelvor::test::TempDir dir;
    const auto path = dir / "missing-folder" / "sound.wav";
    Graph graph;
    auto wave = std::make_shared<WavWriterFilter>();
    auto writer = std::make_shared<FileWriterFilter>();
    ASSERT_EQ(writer->SetFileName(path.string()), Code::Ok);
    test::Chain(graph, {std::make_shared<test::SampleSource>(MakeAudioType(MakePcmFormat(32000, 2)),
                                                             sound(3, 100)),
                        wave, writer});
    EXPECT_EQ(graph.Run(), Code::Fail);
    EXPECT_FALSE(std::filesystem::exists(path));

    // The writer can start, another filter cannot: the old file stays.
    const auto target = dir / "kept.wav";
    kelvor::test::WriteFile(target, "old");
    Graph second;
    auto wave2 = std::make_shared<WavWriterFilter>();
    auto writer2 = std::make_shared<FileWriterFilter>();
    ASSERT_EQ(writer2->SetFileName(target.string()), Code::Ok);
    ASSERT_EQ(second.AddFilter(writer2, "destination"), Code::Ok);
    test::Chain(second, {std::make_shared<test::SampleSource>(
                             MakeAudioType(MakePcmFormat(32000, 2)), sound(3, 100)),
                         wave2});
    ASSERT_EQ(second.ConnectDirect(wave2->Output(), writer2->Input()), Code::Ok);
    auto failing = std::make_shared<FileWriterFilter>();  // no file name: cannot start
    ASSERT_EQ(second.AddFilter(failing, "other"), Code::Ok);
    auto tail = std::make_shared<test::SampleSource>(MakeStreamType(Subtype::Wave), Frames{});
    ASSERT_EQ(second.AddFilter(tail, "tail"), Code::Ok);
    ASSERT_EQ(second.ConnectDirect(tail->Output(), failing->Input()), Code::Ok);
    EXPECT_EQ(second.Run(), Code::Fail);
    EXPECT_EQ(kelvor::test::ReadFile(target), "old");
}

TEST(WavWriterFilter, RefusedSamplesDoNotCountAndTheSizeFieldsAreGuarded) {
    Graph graph;
    auto wave = std::make_shared<WavWriterFilter>();
    test::Chain(graph, {std::make_shared<test::SampleSource>(MakeAudioType(MakePcmFormat(44100, 2)),
                                                             sound(5, 1000)),
                        wave, std::make_shared<RefusingSink>(2)});
    Status stopped = Code::Ok;
    EXPECT_EQ(test::RunToEnd(graph, &stopped), EventCode::ErrorAbort);
    EXPECT_EQ(wave->DataBytes(), 2000u);
    // No file writer downstream: the header has nowhere to go.
    EXPECT_EQ(stopped, Code::NoInterface);

    // Header of 46 bytes: the RIFF size (data + 38) must stay within 32 bits.
    constexpr std::uint32_t kMax = 0xFFFFFFFFu;
    EXPECT_TRUE(WaveSizeFieldsHold(46, kMax - 38 - 100, 100));
    EXPECT_FALSE(WaveSizeFieldsHold(46, kMax - 38 - 100, 101));
    EXPECT_FALSE(WaveSizeFieldsHold(46, kMax - 38, 1));
}

}  // namespace
}  // namespace kelvor::media

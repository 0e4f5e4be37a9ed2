// The lossless Matroska archive on real DV files (type 2 and raw DV, with damaged frames):
// ffprobe and ffmpeg read its tracks, chapters, tags and first cue; its DV frames are the
// source's byte for byte; the program's own readers find the source's scenes and datecodes in
// it; per-scene files are named after their first datecode.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "commands/CommandsTestSupport.h"
#include "commands/ExportMkv.h"
#include "commands/ExportScenes.h"
#include "core/avi/AviDemuxer.h"
#include "support/Tools.h"

namespace kelvor::commands {
namespace {

using test::Commands;

constexpr const char* kTwoRecordings =
    "frames=30 date=2024-07-14T10:00:00 tc=00:01:02:03; frames=40 "
    "date=2024-07-14T11:00:00; frames=3 fault=ff; frames=10 fault=none";

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every video chunk of an AVI file, back to back.
std::string AviFrames(const std::string& path) {
    avi::AviDemuxer d;
    EXPECT_TRUE(d.open(path));
    const auto v = static_cast<std::size_t>(d.videoStream());
    std::string out;
    std::vector<std::uint8_t> buf(200000);
    for (std::uint64_t i = 0; i < d.chunkCount(v); ++i) {
        const auto n = d.readChunk(v, i, buf);
        EXPECT_TRUE(n.has_value());
        out.append(reinterpret_cast<const char*>(buf.data()), n.value_or(0));
    }
    return out;
}

std::string Probe(const Commands& c, std::vector<std::string> args) {
    args.insert(args.begin(), {"ffprobe", "-v", "error"});
    const auto r = kelvor::test::RunTool(args, c.dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// The DV frames of the archive as ffmpeg copies them out.
std::string ArchivedFrames(const Commands& c, const std::string& mkv) {
    const auto r = kelvor::test::RunTool({"ffmpeg", "-v", "error", "-y", "-i", mkv, "-map", "0:v",
                                          "-c", "copy", "-f", "rawvideo", "frames.dv"},
                                         c.dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return Bytes(c.path("frames.dv"));
}

// Compares without printing the frames: the size and the first differing byte.
void ExpectSameBytes(const std::string& got, const std::string& want) {
    EXPECT_EQ(got.size(), want.size());
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(diff.first == got.end() && diff.second == want.end())
        << "first difference at byte " << (diff.first - got.begin());
}

bool Oracles() {
    return kelvor::test::ToolAvailable("ffprobe") && kelvor::test::ToolAvailable("ffmpeg");
}

TEST(ExportMkv, TheArchiveKeepsEveryFrameTheScenesTheDatesAndTheTimecode) {
    if (!Oracles())
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    Commands c;
    const std::string src = c.make("holiday.avi", std::string("type=2 ") + kTwoRecordings);
    const std::string before = Bytes(src);
    c.select({src});
    c.run(ExportMkvCommand(c.commandModule, {}));
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    const FileOutcome& o = c.host.outcomes[0].second;
    ASSERT_TRUE(o.Succeeded()) << o.Failure;
    EXPECT_EQ(o.NewPath, c.path("holiday.mkv"));
    EXPECT_EQ(o.Update, ListUpdate::Add);
    EXPECT_EQ(Bytes(src), before);

    const std::string streams =
        Probe(c, {"-count_packets", "-show_entries",
                  "stream=codec_name,nb_read_packets,sample_rate,channels,sample_aspect_ratio,"
                  "display_aspect_ratio",
                  "-of", "default=nw=1", "holiday.mkv"});
    EXPECT_NE(streams.find("codec_name=dvvideo"), std::string::npos) << streams;
    EXPECT_NE(streams.find("nb_read_packets=83"), std::string::npos) << streams;
    EXPECT_NE(streams.find("display_aspect_ratio=4:3"), std::string::npos) << streams;
    EXPECT_NE(streams.find("codec_name=pcm_s16le"), std::string::npos) << streams;
    EXPECT_NE(streams.find("sample_rate=48000"), std::string::npos) << streams;
    EXPECT_NE(streams.find("codec_name=subrip"), std::string::npos) << streams;

    // The sound lasts as long as the pictures.
    const std::string length =
        Probe(c, {"-show_entries", "format=duration", "-of", "default=nw=1", "holiday.mkv"});
    EXPECT_NE(length.find("duration=3.32"), std::string::npos) << length;

    // A chapter per recording (the damaged frames end none), each with its recording date.
    const std::string chapters = Probe(c, {"-show_chapters", "-of", "default=nw=1", "holiday.mkv"});
    EXPECT_NE(chapters.find("start_time=0.000000"), std::string::npos) << chapters;
    EXPECT_NE(chapters.find("start_time=1.200000"), std::string::npos) << chapters;
    EXPECT_NE(chapters.find("TAG:title=Scene 2: 7/14/2024 11:00:00"), std::string::npos)
        << chapters;
    EXPECT_NE(chapters.find("TAG:DATE_RECORDED=2024-07-14 11:00:00"), std::string::npos)
        << chapters;
    const std::string tags =
        Probe(c, {"-show_entries", "format_tags", "-of", "default=nw=1", "holiday.mkv"});
    EXPECT_NE(tags.find("TAG:DATE_RECORDED=2024-07-14 10:00:00"), std::string::npos) << tags;
    EXPECT_NE(tags.find("TAG:TIMECODE=00:01:02:03"), std::string::npos) << tags;

    // The first cue shows the first datecode for the first second.
    const auto srt = kelvor::test::RunTool(
        {"ffmpeg", "-v", "error", "-i", "holiday.mkv", "-map", "0:s", "-f", "srt", "-"},
        c.dir.path());
    ASSERT_EQ(srt.exitCode, 0) << srt.err;
    std::string cues = srt.out;
    std::erase(cues, '\r');
    EXPECT_EQ(cues.rfind("1\n00:00:00,000 --> 00:00:01,000\n7/14/2024\n10:00:00 AM\n", 0), 0u)
        << cues;

    ExpectSameBytes(ArchivedFrames(c, "holiday.mkv"), AviFrames(src));

    // The program's own readers find the same scenes and running datecode in the archive.
    ExportSceneSource fromSource, fromArchive;
    ASSERT_TRUE(ReadExportScenes(c.graphs, src, "", {}, fromSource)) << fromSource.Error;
    ASSERT_TRUE(ReadExportScenes(c.graphs, o.NewPath, "", {}, fromArchive)) << fromArchive.Error;
    EXPECT_EQ(fromArchive.FrameCount, fromSource.FrameCount);
    ASSERT_EQ(fromArchive.Scenes.size(), fromSource.Scenes.size());
    for (std::size_t i = 0; i < fromSource.Scenes.size(); ++i) {
        EXPECT_EQ(fromArchive.Scenes[i].FirstFrame, fromSource.Scenes[i].FirstFrame);
        EXPECT_EQ(fromArchive.Scenes[i].StartDate, fromSource.Scenes[i].StartDate);
        EXPECT_EQ(fromArchive.Scenes[i].Caption, fromSource.Scenes[i].Caption);
    }
    ASSERT_EQ(fromArchive.Datecodes.size(), fromSource.Datecodes.size());
    for (std::size_t i = 0; i < fromSource.Datecodes.size(); ++i) {
        EXPECT_EQ(fromArchive.Datecodes[i].Frame, fromSource.Datecodes[i].Frame);
        EXPECT_EQ(fromArchive.Datecodes[i].Date, fromSource.Datecodes[i].Date);
    }
}

TEST(ExportMkv, PerSceneFilesOfRawDvAreNamedAfterTheirFirstDatecode) {
    if (!Oracles())
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    Commands c;
    const std::string src =
        c.make("tape.dv", std::string("type=raw standard=ntsc aspect=16:9 ") + kTwoRecordings);
    // A file of the first scene's name is kept and the archive takes the next free name.
    kelvor::test::WriteFile(c.dir / "2024-07-14 10.00.00.mkv", "keep");
    c.select({src});
    c.run(ExportMkvCommand(c.commandModule, {.PerScene = true}));
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    ASSERT_TRUE(c.host.outcomes[0].second.Succeeded()) << c.host.outcomes[0].second.Failure;
    EXPECT_EQ(Bytes(c.path("2024-07-14 10.00.00.mkv")), "keep");
    ASSERT_TRUE(c.exists("2024-07-14 10.00.00(1).mkv"));
    ASSERT_TRUE(c.exists("2024-07-14 11.00.00.mkv"));
    // The scene that begins on damaged frames is named after its first dated frame.
    ASSERT_TRUE(c.exists("2024-07-14 11.00.01.mkv"));

    const std::string second =
        Probe(c, {"-count_packets", "-show_entries",
                  "stream=codec_name,nb_read_packets,display_aspect_ratio,r_frame_rate", "-of",
                  "default=nw=1", "2024-07-14 11.00.00.mkv"});
    EXPECT_NE(second.find("nb_read_packets=40"), std::string::npos) << second;
    EXPECT_NE(second.find("display_aspect_ratio=16:9"), std::string::npos) << second;
    EXPECT_NE(second.find("r_frame_rate=30000/1001"), std::string::npos) << second;
    const std::string chapters =
        Probe(c, {"-show_chapters", "-of", "default=nw=1", "2024-07-14 11.00.00.mkv"});
    EXPECT_NE(chapters.find("start_time=0.000000"), std::string::npos) << chapters;
    EXPECT_EQ(chapters.find("[CHAPTER]", chapters.find("[CHAPTER]") + 1), std::string::npos)
        << chapters;

    // The files hold the raw file's frames, split where the scenes start.
    const std::string raw = Bytes(src);
    const std::size_t frame = 120000;
    ExpectSameBytes(ArchivedFrames(c, "2024-07-14 10.00.00(1).mkv"), raw.substr(0, 30 * frame));
    ExpectSameBytes(ArchivedFrames(c, "2024-07-14 11.00.00.mkv"),
                    raw.substr(30 * frame, 40 * frame));
    ExpectSameBytes(ArchivedFrames(c, "2024-07-14 11.00.01.mkv"), raw.substr(70 * frame));
}

// The sound track of a file as 16-bit PCM, as ffmpeg decodes it.
std::string SoundOf(const Commands& c, const std::string& file) {
    const std::string out = file + ".s16";
    const auto r = kelvor::test::RunTool(
        {"ffmpeg", "-v", "error", "-y", "-i", file, "-map", "0:a:0", "-f", "s16le", out},
        c.dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return Bytes(c.path(out));
}

TEST(ExportMkv, DvInQuickTimeArchivesWithTheSameFramesScenesAndDates) {
    if (!Oracles())
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    Commands c;
    const std::string avi = c.make("holiday.avi", std::string("type=2 ") + kTwoRecordings);
    const auto copied = kelvor::test::RunTool(
        {"ffmpeg", "-v", "error", "-i", "holiday.avi", "-c", "copy", "trip.mov"}, c.dir.path());
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    const std::string mov = c.path("trip.mov");
    c.select({mov});
    c.run(ExportMkvCommand(c.commandModule, {}));
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    const FileOutcome& o = c.host.outcomes[0].second;
    ASSERT_TRUE(o.Succeeded()) << o.Failure;
    EXPECT_EQ(o.NewPath, c.path("trip.mkv"));

    ExpectSameBytes(ArchivedFrames(c, "trip.mkv"), AviFrames(avi));
    const std::string tags =
        Probe(c, {"-show_entries", "format_tags", "-of", "default=nw=1", "trip.mkv"});
    EXPECT_NE(tags.find("TAG:TIMECODE=00:01:02:03"), std::string::npos) << tags;

    ExportSceneSource fromSource, fromArchive;
    ASSERT_TRUE(ReadExportScenes(c.graphs, mov, "", {}, fromSource)) << fromSource.Error;
    ASSERT_TRUE(ReadExportScenes(c.graphs, o.NewPath, "", {}, fromArchive)) << fromArchive.Error;
    EXPECT_EQ(fromSource.FrameCount, 83);
    EXPECT_EQ(fromArchive.FrameCount, fromSource.FrameCount);
    ASSERT_EQ(fromArchive.Scenes.size(), fromSource.Scenes.size());
    ASSERT_EQ(fromSource.Scenes.size(), 3u);
    for (std::size_t i = 0; i < fromSource.Scenes.size(); ++i) {
        EXPECT_EQ(fromArchive.Scenes[i].FirstFrame, fromSource.Scenes[i].FirstFrame);
        EXPECT_EQ(fromArchive.Scenes[i].StartDate, fromSource.Scenes[i].StartDate);
    }
    ASSERT_EQ(fromArchive.Datecodes.size(), fromSource.Datecodes.size());
    for (std::size_t i = 0; i < fromSource.Datecodes.size(); ++i) {
        EXPECT_EQ(fromArchive.Datecodes[i].Frame, fromSource.Datecodes[i].Frame);
        EXPECT_EQ(fromArchive.Datecodes[i].Date, fromSource.Datecodes[i].Date);
    }
    // Scenes of their own from the container: each starts at its frame.
    Commands perScene;
    ASSERT_TRUE(std::filesystem::copy_file(mov, perScene.path("trip.mov")));
    perScene.select({perScene.path("trip.mov")});
    perScene.run(ExportMkvCommand(perScene.commandModule, {.PerScene = true}));
    ASSERT_EQ(perScene.host.outcomes.size(), 1u);
    ASSERT_TRUE(perScene.host.outcomes[0].second.Succeeded());
    const std::string frames = AviFrames(avi);
    const std::size_t frame = 144000;
    ExpectSameBytes(ArchivedFrames(perScene, "2024-07-14 11.00.00.mkv"),
                    frames.substr(30 * frame, 40 * frame));
}

TEST(ExportMkv, AType2FileGivesItsOwnSoundStreamNotTheFramesSound) {
    if (!Oracles())
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
    Commands c;
    c.make("clip.avi", "type=2 frames=50 date=2024-07-14T10:00:00");
    // The same DV frames with another sound in the file's stream than inside the frames.
    const auto dubbed = kelvor::test::RunTool(
        {"ffmpeg", "-v",        "error",
         "-i",     "clip.avi",  "-f",
         "lavfi",  "-i",        "sine=frequency=1000:sample_rate=48000:duration=2",
         "-map",   "0:v",       "-map",
         "1:a",    "-c:v",      "copy",
         "-c:a",   "pcm_s16le", "-ac",
         "2",      "dubbed.avi"},
        c.dir.path());
    ASSERT_EQ(dubbed.exitCode, 0) << dubbed.err;
    c.select({c.path("dubbed.avi")});
    c.run(ExportMkvCommand(c.commandModule, {}));
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    ASSERT_TRUE(c.host.outcomes[0].second.Succeeded()) << c.host.outcomes[0].second.Failure;

    const std::string archived = SoundOf(c, "dubbed.mkv");
    const std::string stream = SoundOf(c, "dubbed.avi");
    // Two seconds of 48 kHz stereo, 16 bits.
    EXPECT_EQ(archived.size(), 2u * 48000 * 4);
    ExpectSameBytes(archived, stream.substr(0, archived.size()));
    EXPECT_NE(archived, SoundOf(c, "clip.avi").substr(0, archived.size()));
    ExpectSameBytes(ArchivedFrames(c, "dubbed.mkv"), AviFrames(c.path("clip.avi")));
}

}  // namespace
}  // namespace kelvor::commands

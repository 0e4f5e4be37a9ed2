// The graph commands with the scripted host on real DV files: each writes its output under its
// suffix and reports it to the list, with its own preparation (the sound rate, the header
// filter, the inlay, the time shift), and the cut makes one file per scene of the scn file.
#include <gtest/gtest.h>

#include <filesystem>

#include <QGuiApplication>

#include "commands/CommandsTestSupport.h"
#include "core/avi/FormatBlocks.h"
#include "core/dv/DvInfo.h"
#include "core/scenes/ScnFile.h"
#include "media/graphs/ConversionTestSupport.h"

namespace kelvor::commands {
namespace {

using kelvor::test::Bytes;
using test::Commands;

constexpr std::uint32_t kIavs = 0x73766169;  // "iavs"
constexpr std::uint32_t kVids = 0x73646976;  // "vids"
constexpr std::uint32_t kAuds = 0x73647561;  // "auds"

// The inlay draws with Qt; the offscreen platform needs no display.
void EnsureGui() {
    if (QGuiApplication::instance())
        return;
    static int argc = 3;
    static char name[] = "test_commands";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the test program
}

const FileOutcome& OutcomeOf(const Commands& c, const std::string& name) {
    for (const auto& [file, outcome] : c.host.outcomes)
        if (file == name)
            return outcome;
    static const FileOutcome none{ListUpdate::None, {}, "no outcome", false};
    ADD_FAILURE() << "no outcome for " << name;
    return none;
}

dv::Datecode DatecodeOf(const Bytes& frame) {
    dv::Datecode d;
    EXPECT_TRUE(dv::ReadValidDatecode(frame, kelvor::test::Sequences(frame), d));
    return d;
}

// A DV type 2 file whose video stream is interleaved ("iavs", then "auds"), as some capture
// programs wrote them: the frames and sound of a type 2 fixture in a hand-made container.
std::string MakeIavsType2(Commands& c, const std::string& name) {
    const std::string src = c.make("made_" + name, "type=2 frames=10 date=2024-01-01T10:00:00");
    const auto frames = kelvor::test::DvFrames(src);
    const auto sound = kelvor::test::StreamChunks(src, 1);
    using namespace kelvor::test;
    Bytes movi;
    PutCode(movi, "movi");
    Bytes idx;
    std::uint32_t samples = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (int s = 0; s < 2; ++s) {
            const Bytes& data = s == 0 ? frames[i] : sound[i];
            PutCode(idx, s == 0 ? "00__" : "01wb");
            PutU32(idx, 0x10);
            PutU32(idx, static_cast<std::uint32_t>(movi.size()));
            PutU32(idx, static_cast<std::uint32_t>(data.size()));
            const Bytes chunk = Chunk(s == 0 ? "00__" : "01wb", data);
            movi.insert(movi.end(), chunk.begin(), chunk.end());
        }
        samples += static_cast<std::uint32_t>(sound[i].size() / 4);
    }
    const auto n = static_cast<std::uint32_t>(frames.size());
    const auto block = avi::BlockBytes(dv::DvInfoFromFrame(frames[0]));
    const Bytes dvInfo(block.begin(), block.end());
    const Bytes bytes =
        Riff("AVI ",
             {Lst("hdrl", {Chunk("avih", MainHeaderData(n, 2)),
                           Lst("strl", {Chunk("strh", StreamHeaderData("iavs", "dvsd", 1, 25, n)),
                                        Chunk("strf", dvInfo)}),
                           Lst("strl", {Chunk("strh", StreamHeaderData("auds", std::string(4, '\0'),
                                                                       4, 192000, samples * 4)),
                                        Chunk("strf", WaveData())})}),
              Chunk("LIST", movi), Chunk("idx1", idx)});
    WriteBytes(c.dir / name, bytes);
    return c.path(name);
}

TEST(GraphCommands, EachConversionWritesItsOutputAndTheListTakesIt) {
    EnsureGui();
    Commands c;
    const std::string pal = c.make("pal.avi", "type=2 frames=30 date=2024-01-01T10:00:00");
    const std::string ntsc =
        c.make("ntsc.avi", "type=1 standard=ntsc audio=32k frames=30 date=2024-01-01T10:00:00");
    c.select({pal, ntsc});
    struct Case {
        const char* command;
        const char* source;
        const char* output;
        std::vector<std::uint32_t> streams;
        std::size_t frames;
    };
    const Case cases[] = {
        {"DVtype1", "pal.avi", "pal_type1.avi", {kIavs}, 30},
        {"DVType2", "ntsc.avi", "ntsc_type2.avi", {kVids, kAuds}, 30},
        {"Ntsc", "pal.avi", "pal_ntsc.avi", {kVids, kAuds}, 36},
        {"Pal", "ntsc.avi", "ntsc_pal.avi", {kIavs}, 26},
        {"IncrusterDatecode", "pal.avi", "pal_in.avi", {kVids, kAuds}, 30},
        {"IncrusterDatecode", "ntsc.avi", "ntsc_in.avi", {kIavs}, 30},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.command + std::string(" ") + k.source);
        c.host.outcomes.clear();
        c.list.UnselectAll();
        c.list.Select(c.list.FindItem(c.path(k.source)));
        c.run(k.command);
        const FileOutcome& o = OutcomeOf(c, k.source);
        EXPECT_TRUE(o.Succeeded()) << o.Failure;
        EXPECT_EQ(o.Update, ListUpdate::Add);
        EXPECT_EQ(o.NewPath, c.path(k.output));
        EXPECT_GE(c.list.FindItem(c.path(k.output)), 0);
        EXPECT_EQ(kelvor::test::StreamTypes(c.path(k.output)), k.streams);
        EXPECT_EQ(kelvor::test::DvFrames(c.path(k.output)).size(), k.frames);
    }
    // The list's records of the outputs say what they are.
    const auto& converted = *c.list.Item(c.list.FindItem(c.path("pal_ntsc.avi"))).Record;
    EXPECT_EQ(converted.Standard, 2);
    EXPECT_EQ(converted.DatecodeText, "1/1/2024 10:00:00");
    const auto& back = *c.list.Item(c.list.FindItem(c.path("ntsc_pal.avi"))).Record;
    EXPECT_EQ(back.Standard, 1);
    EXPECT_EQ(back.DVType, 1);

    // The sound into a WAV file: reported with its path, and the list shows only videos.
    for (const char* name : {"pal.avi", "ntsc.avi"}) {
        c.host.outcomes.clear();
        c.list.UnselectAll();
        c.list.Select(c.list.FindItem(c.path(name)));
        c.run("ExtraireAudio");
        const FileOutcome& o = OutcomeOf(c, name);
        const std::string wav = scenes::ReplaceExtension(c.path(name), ".wav");
        EXPECT_TRUE(o.Succeeded()) << o.Failure;
        EXPECT_EQ(o.Update, ListUpdate::None);
        EXPECT_EQ(o.NewPath, wav);
        EXPECT_TRUE(std::filesystem::exists(wav));
        EXPECT_LT(c.list.FindItem(wav), 0);
    }
}

TEST(GraphCommands, TheStandardConversionCarriesTheDatecodeShiftedForDisplay) {
    Commands c;
    c.make("clip.avi", "type=2 frames=10 date=2024-01-01T10:00:00");
    c.prefs.TimeShift = 1.0 / 24;
    c.select({c.path("clip.avi")});
    c.run("Ntsc");
    const auto frames = kelvor::test::DvFrames(c.path("clip_ntsc.avi"));
    ASSERT_FALSE(frames.empty());
    for (const Bytes& f : frames)
        EXPECT_EQ(DatecodeOf(f).Hour, 11);
    // Saved in another folder when the preference says so.
    c.prefs.TimeShift = 0;
    c.prefs.SaveInSameFolder = false;
    std::filesystem::create_directories(c.dir / "out");
    c.prefs.SaveFolder = (c.dir / "out").string() + "/";
    c.host.outcomes.clear();
    c.run("Ntsc");
    EXPECT_EQ(OutcomeOf(c, "clip.avi").NewPath, (c.dir / "out" / "clip_ntsc.avi").string());
    EXPECT_EQ(
        DatecodeOf(kelvor::test::DvFrames((c.dir / "out" / "clip_ntsc.avi").string())[0]).Hour, 10);
}

TEST(GraphCommands, TheTimeDifferenceWritesEveryDatecodeShifted) {
    Commands c;
    c.make("clip.avi", "type=1 frames=10 date=2024-01-01T10:00:00");
    c.commandModule.CorrectionShift = 2.0 / 24;
    c.select({c.path("clip.avi")});
    c.run("DecalerHoraire");
    const FileOutcome& o = OutcomeOf(c, "clip.avi");
    EXPECT_TRUE(o.Succeeded()) << o.Failure;
    EXPECT_EQ(o.NewPath, c.path("clip_(+2h).avi"));
    const auto a = kelvor::test::DvFrames(c.path("clip.avi"));
    const auto b = kelvor::test::DvFrames(c.path("clip_(+2h).avi"));
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(kelvor::test::FrameDifference(a[i], b[i], true), "") << i;
        EXPECT_EQ(DatecodeOf(b[i]).Hour, DatecodeOf(a[i]).Hour + 2) << i;
    }
    EXPECT_GE(c.list.FindItem(c.path("clip_(+2h).avi")), 0);
}

TEST(GraphCommands, TheRepairMakesATypeTwoFileOfAnInterleavedOne) {
    Commands c;
    const std::string bad = MakeIavsType2(c, "bad.avi");
    c.select({bad});
    const auto& record = *c.list.Item(c.list.FindItem(bad)).Record;
    ASSERT_TRUE(record.IavsType2);
    c.run("CorrigerType2");
    const FileOutcome& o = OutcomeOf(c, "bad.avi");
    EXPECT_TRUE(o.Succeeded()) << o.Failure;
    EXPECT_EQ(o.NewPath, c.path("bad_fixed.avi"));
    EXPECT_EQ(kelvor::test::StreamTypes(c.path("bad_fixed.avi")),
              (std::vector<std::uint32_t>{kVids, kAuds}));
    EXPECT_TRUE(kelvor::test::DvFrames(bad) == kelvor::test::DvFrames(c.path("bad_fixed.avi")));
    EXPECT_TRUE(kelvor::test::Concat(kelvor::test::StreamChunks(bad, 1)) ==
                kelvor::test::Concat(kelvor::test::StreamChunks(c.path("bad_fixed.avi"), 1)));
    const auto& fixed = *c.list.Item(c.list.FindItem(c.path("bad_fixed.avi"))).Record;
    EXPECT_FALSE(fixed.IavsType2);
    EXPECT_EQ(fixed.DVType, 2);
}

TEST(GraphCommands, RecompressionTakesTheStandardAndRateOfThePreferences) {
    if (!kelvor::test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg makes the source";
    Commands c;
    ASSERT_EQ(
        kelvor::test::RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                               "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i", "sine=r=48000",
                               "-t", "1", "-c:v", "mjpeg", "-c:a", "pcm_s16le", "other.avi"},
                              c.dir.path())
            .exitCode,
        0);
    c.prefs.DefaultStandard = 2;
    c.prefs.DvAudioRate = 0;
    c.select({c.path("other.avi")});
    c.run("ConvertirDV");
    const FileOutcome& o = OutcomeOf(c, "other.avi");
    EXPECT_TRUE(o.Succeeded()) << o.Failure;
    const auto& made = *c.list.Item(c.list.FindItem(c.path("other_dvtype2.avi"))).Record;
    EXPECT_EQ(made.DVType, 2);
    EXPECT_EQ(made.Standard, 2);
    EXPECT_EQ(made.AudioText.substr(0, 5), "32000");
    // A DV file is not recompressed.
    c.host.outcomes.clear();
    c.list.UnselectAll();
    c.list.Select(c.list.FindItem(c.path("other_dvtype2.avi")));
    c.run("ConvertirDV");
    EXPECT_TRUE(c.host.outcomes.empty());
}

TEST(GraphCommands, ScenesByContent) {
    Commands c;
    c.make("cut.avi",
           "type=2 audio=none frames=40 picture=colour:000000;"
           "frames=20 picture=colour:FFFFFF");
    c.select({c.path("cut.avi")});
    c.run("CreerScnContenu");
    EXPECT_TRUE(OutcomeOf(c, "cut.avi").Succeeded()) << OutcomeOf(c, "cut.avi").Failure;
    EXPECT_EQ(OutcomeOf(c, "cut.avi").Update, ListUpdate::Modify);
    scenes::SceneList scenes;
    ASSERT_TRUE(scenes::ReadScnFile(c.path("cut.scn"), scenes, 25));
    ASSERT_EQ(scenes.size(), 2u);
    EXPECT_EQ(scenes[0].Scene.EndFrame, 40);
    EXPECT_EQ(scenes[0].Caption, scenes::DefaultSceneCaption(1, scenes[0].Scene, 25));
    // The last scene ends at the last frame the stamper saw.
    EXPECT_EQ(scenes[1].Scene.EndFrame, 59);
    EXPECT_TRUE(c.list.Item(c.list.FindItem(c.path("cut.avi"))).Record->HasScn);

    c.host.outcomes.clear();
    c.run("ScenesTextFromContenu");
    c.run("ScenesExcelFromContenu");
    EXPECT_TRUE(c.exists("cut_scn.txt"));
    EXPECT_TRUE(c.exists("cut.xlsx"));
}

TEST(GraphCommands, CutScenesOfATypeOneFileGiveItsFramesEndToEnd) {
    Commands c;
    c.make("a.avi", "type=1 frames=30 picture=moving date=2024-01-01T10:00:00");
    {
        scenes::ScnWriter scn(c.path("a.avi"), scenes::ScnVariant::Narrow);
        scn.AddScene("one", 7);
        scn.AddScene("two", 8);
        scn.AddScene("three", 30);
        ASSERT_TRUE(scn.Close());
    }
    c.select({c.path("a.avi")});
    c.run("CutScenes");
    std::vector<Bytes> frames;
    for (int k = 0; k < 3; ++k) {
        const std::string out = c.path("a_scene_" + std::to_string(k) + ".avi");
        const auto f = kelvor::test::DvFrames(out);
        frames.insert(frames.end(), f.begin(), f.end());
        EXPECT_EQ(kelvor::test::StreamTypes(out), (std::vector<std::uint32_t>{kIavs}));
    }
    EXPECT_TRUE(frames == kelvor::test::DvFrames(c.path("a.avi")));
}

TEST(GraphCommands, EscDuringTheSecondOfThreeConversions) {
    Commands c;
    for (const char* n : {"a.avi", "b.avi", "c.avi"})
        c.make(n, "type=2 frames=150 picture=moving date=2024-01-01T10:00:00");
    c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
    int reports = 0;
    std::string current;
    c.host.onStarted = [&](const FileItem& f) {
        current = f.Record->Name;
        reports = 0;
    };
    c.host.onProgress = [&](std::int64_t) {
        // The first report comes as the graph starts: a short file may be done before a second.
        if (current == "b.avi" && ++reports == 1)
            c.control.Abort();
    };
    c.run("Ntsc");
    ASSERT_EQ(c.host.outcomes.size(), 3u);
    EXPECT_TRUE(OutcomeOf(c, "a.avi").Succeeded());
    EXPECT_TRUE(OutcomeOf(c, "b.avi").Aborted);
    EXPECT_EQ(OutcomeOf(c, "b.avi").Update, ListUpdate::Add);
    EXPECT_TRUE(OutcomeOf(c, "c.avi").Succeeded());
    EXPECT_EQ(kelvor::test::DvFrames(c.path("a_ntsc.avi")).size(), 180u);
    EXPECT_LT(kelvor::test::DvFrames(c.path("b_ntsc.avi")).size(), 180u);
    EXPECT_EQ(kelvor::test::DvFrames(c.path("c_ntsc.avi")).size(), 180u);
    // The part is named with its frames, a part never written is not named at all, and the list
    // takes only the complete outputs.
    if (std::filesystem::exists(c.path("b_ntsc.avi"))) {
        EXPECT_EQ(OutcomeOf(c, "b.avi").FramesWritten,
                  static_cast<std::int64_t>(kelvor::test::DvFrames(c.path("b_ntsc.avi")).size()));
        if (OutcomeOf(c, "b.avi").FramesWritten > 0) {
            EXPECT_EQ(OutcomeOf(c, "b.avi").FramesDue, 180);
        }
    } else {
        EXPECT_TRUE(OutcomeOf(c, "b.avi").NewPath.empty());
    }
    EXPECT_GE(c.list.FindItem(c.path("a_ntsc.avi")), 0);
    EXPECT_LT(c.list.FindItem(c.path("b_ntsc.avi")), 0);
    EXPECT_GE(c.list.FindItem(c.path("c_ntsc.avi")), 0);
}

}  // namespace
}  // namespace kelvor::commands

// The exports stopped midway as the window's Esc and the terminal's Ctrl+C stop them: the run is
// reported stopped, nothing is left under the name being written nor beside it, and the MP4
// scenes and Matroska scene files finished before the stop stay complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "commands/CommandsTestSupport.h"
#include "commands/ExportMkv.h"
#include "commands/ScriptRunner.h"

namespace kelvor::commands {
namespace {

using test::Commands;

// Two recordings of one second each, a day apart.
constexpr const char* kTwoScenes =
    "type=2 frames=25 picture=moving date=2004-07-14T10:22:33; frames=25 "
    "date=2004-07-15T18:00:00";

std::set<std::string> Entries(const Commands& c) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(c.dir.path()))
        names.insert(e.path().filename().string());
    return names;
}

// The front end's module, whose long exports read the stop flags.
struct StoppableRun {
    explicit StoppableRun(Commands& c)
        : c_(c),
          module(CommandServices{c.prefs, c.graphs, c.patcher, c.trash, c.host, EnglishLocale(),
                                 &c.control}) {
        module.Start();
        module.LinkCommands();
    }
    // Stops the run at the first progress report at or past percent: with Esc, or with the
    // store alone that the terminal's signal handler makes.
    void stopAt(std::int64_t percent, bool fromSignal) {
        c_.host.onProgress = [this, percent, fromSignal](std::int64_t p) {
            if (p < percent || stopped_)
                return;
            stopped_ = true;
            fromSignal ? c_.control.AbortFromSignal() : c_.control.Abort();
        };
    }
    void run(const Command& command) {
        ScriptRunner(WorkerServices{c_.host, c_.control, module, c_.graphs}).RunCommand(command);
    }

    Commands& c_;
    CommandModule module;
    bool stopped_ = false;
};

TEST(ExportStop, AStoppedMp4ExportKeepsTheScenesAlreadyFinished) {
    for (const bool fromSignal : {false, true}) {
        SCOPED_TRACE(fromSignal ? "signal" : "Esc");
        Commands c;
        c.prefs.Export.Mp4Preset = "ultrafast";
        c.make("clip.avi", kTwoScenes);
        c.select({c.path("clip.avi")});
        StoppableRun run(c);
        run.module.Mp4.TimeZone = "UTC";
        // The second scene starts at half of the frames.
        run.stopAt(70, fromSignal);
        Command* mp4 = run.module.Find("ExportMp4");
        ASSERT_NE(mp4, nullptr);
        run.run(*mp4);
        ASSERT_EQ(c.host.outcomes.size(), 1u);
        const FileOutcome& o = c.host.outcomes[0].second;
        EXPECT_TRUE(o.Aborted);
        EXPECT_EQ(o.Failure, "stopped");
        EXPECT_TRUE(o.NewPath.empty()) << o.NewPath;
        EXPECT_EQ(Entries(c), (std::set<std::string>{"clip.avi", "2004-07-14 10.22.33.mp4"}));
        EXPECT_GT(std::filesystem::file_size(c.path("2004-07-14 10.22.33.mp4")), 1000u);
        EXPECT_LT(c.list.FindItem(c.path("2004-07-14 10.22.33.mp4")), 0);
    }
}

TEST(ExportStop, AStoppedMkvArchiveLeavesNothingAndFinishedSceneFilesStay) {
    for (const bool perScene : {false, true}) {
        SCOPED_TRACE(perScene ? "per scene" : "one file");
        Commands c;
        c.make("clip.avi", kTwoScenes);
        c.select({c.path("clip.avi")});
        StoppableRun run(c);
        run.stopAt(70, perScene);
        run.run(ExportMkvCommand(run.module, {.PerScene = perScene}));
        ASSERT_EQ(c.host.outcomes.size(), 1u);
        const FileOutcome& o = c.host.outcomes[0].second;
        EXPECT_TRUE(o.Aborted);
        EXPECT_EQ(o.Failure, "stopped");
        EXPECT_TRUE(o.NewPath.empty()) << o.NewPath;
        const std::set<std::string> left =
            perScene ? std::set<std::string>{"clip.avi", "2004-07-14 10.22.33.mkv"}
                     : std::set<std::string>{"clip.avi"};
        EXPECT_EQ(Entries(c), left);
    }
}

}  // namespace
}  // namespace kelvor::commands

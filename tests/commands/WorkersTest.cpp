// The two workers with a scripted host: the batch's answers, Esc and Shift+Esc between and
// during files, conditions, failed builds, escaped exceptions, the cut's passes and the
// progress start. Runs that must stay open until the test aborts them are fake conversions
// that never complete; the others are real scene-by-date runs on real DV files.
#include <gtest/gtest.h>

#include <algorithm>

#include "commands/CommandTexts.h"
#include "commands/CommandsTestSupport.h"
#include "core/scenes/ScnFile.h"

namespace kelvor::commands {
namespace {

using test::Commands;

bool Has(const std::vector<std::string>& events, const std::string& e) {
    return std::find(events.begin(), events.end(), e) != events.end();
}

// A conversion whose position and duration the test decides; it completes at once unless the
// file is named in `open`, which stays running until the worker is told to stop.
struct FakeSeeking : media::MediaSeeking {
    std::int64_t position = 0;
    bool GetDuration(std::int64_t& d) override {
        d = 1000;
        return true;
    }
    bool GetCurrentPosition(std::int64_t& p) override {
        p = position;
        return true;
    }
    bool SetPositions(std::int64_t, std::int64_t) override { return true; }
};

Command FakeConversion(Commands& c, FakeSeeking& seeking, std::string open = {},
                       std::int64_t start = 0) {
    Command a;
    a.Name = "Fake";
    a.ProgressMessage = "Faking \"%s\"";
    a.Runs = RunsAs::Graph;
    a.Execute = [&c, &seeking, open, start](CommandParam&, const files::FileRecord& f,
                                            ExecutionResult& r) {
        media::ConversionProgress& p = c.graphs.Progress();
        p.ProgressSeeking = &seeking;
        p.ProgressDuration = 1000;
        if (start)
            p.ProgressStart = start;
        r.update = ListUpdate::Add;
        r.NewFile = f.FullName + ".out";
        if (f.Name != open)
            c.graphs.GraphComplete();
    };
    return a;
}

// Three small files the list takes (not video: the fake conversion does not read them).
void ThreeFiles(Commands& c) {
    for (const char* n : {"a.avi", "b.avi", "c.avi"})
        kelvor::test::WriteFile(c.dir / n, "x");
    c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
}

// Three DV files; a and c have a scn file already, so their runs ask first.
void ThreeDvFilesTwoWithScn(Commands& c) {
    for (const char* n : {"a.avi", "b.avi", "c.avi"})
        c.make(n, "type=2 frames=10 date=2024-01-01T10:00:00");
    kelvor::test::WriteFile(c.dir / "a.scn", "old");
    kelvor::test::WriteFile(c.dir / "c.scn", "old");
    c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
}

TEST(GraphWorker, YesToAllAtTheFirstOfThreeAsksNoMore) {
    Commands c;
    ThreeDvFilesTwoWithScn(c);
    c.host.answers = {Answer::YesToAll};
    c.run("CreerScnFromDate");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_TRUE(c.host.questions[0].SeveralFiles);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you want to replace the existing file " + c.path("a.scn") + " ?");
    EXPECT_NE(c.host.questions[0].Text.find("If you type \"Yes to All\""), std::string::npos);
    ASSERT_EQ(c.host.outcomes.size(), 3u);
    for (const auto& [name, o] : c.host.outcomes) {
        EXPECT_TRUE(o.Succeeded()) << name << ": " << o.Failure;
        EXPECT_EQ(o.Update, ListUpdate::Modify);
    }
    scenes::SceneList scenes;
    EXPECT_TRUE(scenes::ReadScnFile(c.path("c.scn"), scenes, 25));
    EXPECT_EQ(c.host.statuses[0], "Creating a scn file for \"a.avi\" with date");
    EXPECT_EQ(c.host.batches, std::vector<RunKind>{RunKind::Graph});
}

TEST(GraphWorker, NoToAllStillProcessesFilesThatNeedNoQuestion) {
    Commands c;
    ThreeDvFilesTwoWithScn(c);
    c.host.answers = {Answer::NoToAll};
    c.run("CreerScnFromDate");
    EXPECT_EQ(c.host.questions.size(), 1u);
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].first, "b.avi");
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "a.scn"), "old");
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "c.scn"), "old");
    EXPECT_TRUE(c.exists("b.scn"));
    EXPECT_FALSE(Has(c.host.events, "confirm c.avi"));
}

TEST(FastWorker, CancelAtTheFirstEndsTheRunAndTheBatchEnds) {
    Commands c;
    ThreeFiles(c);
    for (const char* n : {"a.scn", "b.scn", "c.scn"})
        kelvor::test::WriteFile(c.dir / n, "scn");
    c.list.Clear();
    c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
    c.host.answers = {Answer::Cancel};
    c.run("SupprimerScn");
    EXPECT_EQ(c.host.events,
              (std::vector<std::string>{"select a.avi", "confirm a.avi", "skip a.avi", "batch"}));
    EXPECT_EQ(c.host.batches, std::vector<RunKind>{RunKind::File});
    EXPECT_TRUE(c.trash.recycled.empty());
    EXPECT_TRUE(c.exists("a.scn") && c.exists("b.scn") && c.exists("c.scn"));
    EXPECT_TRUE(c.control.CommandFinished);
}

TEST(FastWorker, ASingleFileIsAskedWithYesAndNoOnly) {
    Commands c;
    kelvor::test::WriteFile(c.dir / "a.avi", "x");
    kelvor::test::WriteFile(c.dir / "a.scn", "scn");
    c.select({c.path("a.avi")});
    c.host.answers = {Answer::Yes};
    c.run("SupprimerScn");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_FALSE(c.host.questions[0].SeveralFiles);
    EXPECT_EQ(c.host.questions[0].Text, c.host.questions[0].Message);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you really want to move the file " + c.path("a.scn") + " to the recycle bin?");
    EXPECT_EQ(c.trash.recycled, std::vector<std::string>{c.path("a.scn")});
}

TEST(GraphWorker, EscOrShiftEscDuringTheSecondOfThree) {
    for (const bool all : {false, true}) {
        Commands c;
        ThreeFiles(c);
        FakeSeeking seeking;
        std::string current;
        c.host.onStarted = [&](const FileItem& f) { current = f.Record->Name; };
        c.host.onProgress = [&](std::int64_t) {
            if (current == "b.avi")
                all ? c.control.AbortAll() : c.control.Abort();
        };
        c.run(FakeConversion(c, seeking, "b.avi"));
        // Esc stops only that file; Shift+Esc ends the batch after it.
        ASSERT_EQ(c.host.outcomes.size(), all ? 2u : 3u);
        EXPECT_FALSE(c.host.outcomes[0].second.Aborted);
        // The stopped file's output is still reported to the list.
        EXPECT_TRUE(c.host.outcomes[1].second.Aborted);
        EXPECT_EQ(c.host.outcomes[1].second.Update, ListUpdate::Add);
        EXPECT_EQ(Has(c.host.events, "select c.avi"), !all);
        if (!all) {
            EXPECT_FALSE(c.host.outcomes[2].second.Aborted);
        }
        EXPECT_TRUE(c.control.GraphFile);
        EXPECT_EQ(c.host.events.back(), "batch");
    }
}

TEST(GraphWorker, EscAndShiftEscOnRealSceneRuns) {
    for (const bool all : {false, true}) {
        Commands c;
        for (const char* n : {"a.avi", "b.avi", "c.avi"})
            c.make(n, "type=2 frames=25 date=2024-01-01T10:00:00");
        c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
        c.host.onStarted = [&](const FileItem& f) {
            if (f.Record->Name == "b.avi")
                all ? c.control.AbortAll() : c.control.Abort();
        };
        c.run("CreerScnFromDate");
        EXPECT_EQ(c.host.outcomes.size(), all ? 2u : 3u);
        EXPECT_EQ(c.host.outcomes[1].second.Update, ListUpdate::Modify);
        EXPECT_EQ(c.exists("c.scn"), !all);
        EXPECT_EQ(c.host.events.back(), "batch");
    }
}

TEST(GraphWorker, ADisabledFileIsSkippedWithoutQuestionOrProgress) {
    Commands c;
    ThreeFiles(c);
    FakeSeeking seeking;
    Command fake = FakeConversion(c, seeking);
    fake.Confirm = [](CommandParam&, const files::FileRecord&, std::string& msg) { msg = "sure?"; };
    fake.AppliesTo = [](CommandParam&, const files::FileRecord& f, bool& v, bool& e) {
        v = e = f.Name != "b.avi";
    };
    c.host.answers = {Answer::YesToAll};
    c.run(fake);
    EXPECT_FALSE(Has(c.host.events, "confirm b.avi"));
    EXPECT_FALSE(Has(c.host.events, "start b.avi"));
    EXPECT_FALSE(Has(c.host.events, "done b.avi"));
    EXPECT_EQ(c.host.outcomes.size(), 2u);

    // Also when it is the only file.
    c.host.events.clear();
    c.list.UnselectAll();
    c.list.Select(c.list.FindItem(c.path("b.avi")));
    c.run(fake);
    EXPECT_EQ(c.host.events, (std::vector<std::string>{"select b.avi", "skip b.avi", "batch"}));
}

TEST(GraphWorker, AFailedBuildGivesNoUpdateAndTheNextFilesGoOn) {
    Commands c;
    c.make("a.avi", "type=2 frames=10 date=2024-01-01T10:00:00");
    kelvor::test::WriteFile(c.dir / "b.avi", "not a video");
    c.make("c.avi", "type=1 frames=10 date=2024-01-01T10:00:00");
    c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
    Command build;
    build.Name = "Build";
    build.Runs = RunsAs::Graph;
    build.Execute = [&c](CommandParam&, const files::FileRecord& f, ExecutionResult& r) {
        c.commandModule.GraphCommandRun(r,
                                        {[&] { return c.graphs.BuildDateScenesGraph(f.FullName); },
                                         {},
                                         ListUpdate::Add,
                                         f.FullName + ".out",
                                         {}});
    };
    c.run(build);
    ASSERT_EQ(c.host.outcomes.size(), 3u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Add);
    EXPECT_TRUE(c.host.outcomes[0].second.Succeeded()) << c.host.outcomes[0].second.Failure;
    EXPECT_EQ(c.host.outcomes[1].second.Update, ListUpdate::None);
    EXPECT_FALSE(c.host.outcomes[1].second.Failure.empty());
    EXPECT_TRUE(c.host.outcomes[2].second.Succeeded()) << c.host.outcomes[2].second.Failure;
}

TEST(GraphWorker, AnEscapedExceptionIsShownOnceAndTheBatchGoesOn) {
    Commands c;
    ThreeFiles(c);
    Command thrower;
    thrower.Name = "Thrower";
    thrower.ProgressMessage = "Throwing \"%s\"";
    thrower.Runs = RunsAs::Graph;
    thrower.Execute = [](CommandParam&, const files::FileRecord& f, ExecutionResult&) {
        if (f.Name == "a.avi")
            throw std::runtime_error("boom");
    };
    c.run(thrower);
    EXPECT_EQ(std::count(c.host.events.begin(), c.host.events.end(), "error a.avi"), 1);
    ASSERT_EQ(c.host.outcomes.size(), 3u);
    EXPECT_FALSE(c.host.outcomes[0].second.Succeeded());
    EXPECT_TRUE(c.host.outcomes[2].second.Succeeded());
    EXPECT_EQ(FileErrorText(thrower.ProgressMessage, "/v/a.avi"),
              "An error occured while \r\nThrowing \"/v/a.avi\".\r\n\r\nPlease check at least if "
              "the source file exists, if the destination disk is full or the destination folder "
              "is read-only.");
}

TEST(GraphWorker, TheProgressStartsAtZeroAfterACutLikeRun) {
    Commands c;
    kelvor::test::WriteFile(c.dir / "a.avi", "x");
    c.select({c.path("a.avi")});
    FakeSeeking seeking;
    c.run(FakeConversion(c, seeking, {}, 500));
    ASSERT_FALSE(c.host.progress.empty());
    EXPECT_EQ(c.host.progress.front(), -50);
    c.host.progress.clear();
    c.list.SelectAll();
    c.run(FakeConversion(c, seeking));
    ASSERT_FALSE(c.host.progress.empty());
    EXPECT_EQ(c.host.progress.front(), 0);
}

TEST(GraphWorker, EmptyListAndNoExecutionStillEndTheBatch) {
    Commands c;
    FakeSeeking seeking;
    GraphWorker empty({}, FakeConversion(c, seeking), c.services());
    empty.Wait();
    Command none;
    none.Name = "None";
    kelvor::test::WriteFile(c.dir / "a.avi", "x");
    c.list.AddFile(c.path("a.avi"));
    FileWorker noExecution({c.list.Item(0)}, none, c.services());
    noExecution.Wait();
    EXPECT_EQ(c.host.batches, (std::vector<RunKind>{RunKind::Graph, RunKind::File}));
    EXPECT_TRUE(c.host.outcomes.empty());
}

TEST(CutScenes, EveryPassAsksWithFiveButtonsAndNamesItsScene) {
    Commands c;
    c.make("a.avi", "type=2 frames=12 date=2024-01-01T10:00:00");
    {
        scenes::ScnWriter scn(c.path("a.avi"), scenes::ScnVariant::Narrow);
        scn.AddScene("one", 4);
        scn.AddScene("two", 8);
        scn.AddScene("three", 12);
        ASSERT_TRUE(scn.Close());
    }
    kelvor::test::WriteFile(c.dir / "a_scene_1.avi", "old");
    c.select({c.path("a.avi")});
    c.host.answers = {Answer::Yes};
    c.run("CutScenes");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_TRUE(c.host.questions[0].SeveralFiles);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you want to replace the existing file " + c.path("a_scene_1.avi") + " ?");
    EXPECT_EQ(c.host.statuses, (std::vector<std::string>{"Cutting the scene 1 of \"a.avi\"",
                                                         "Cutting the scene 2 of \"a.avi\"",
                                                         "Cutting the scene 3 of \"a.avi\""}));
    // Each pass cuts its scene into its own file, which joins the list.
    ASSERT_EQ(c.host.outcomes.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const FileOutcome& o = c.host.outcomes[static_cast<std::size_t>(k)].second;
        EXPECT_EQ(o.Update, ListUpdate::Add) << k;
        EXPECT_TRUE(o.Succeeded()) << o.Failure;
        EXPECT_EQ(o.NewPath, c.path("a_scene_" + std::to_string(k) + ".avi"));
        EXPECT_GE(c.list.FindItem(o.NewPath), 0) << k;
    }
    EXPECT_TRUE(c.commandModule.CutSceneList.empty());
    EXPECT_NE(kelvor::test::ReadFile(c.dir / "a_scene_1.avi"), "old");
}

}  // namespace
}  // namespace kelvor::commands

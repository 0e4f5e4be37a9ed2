// The scene commands on real DV files: lists and exports by date, the exports of a scn file,
// the subtitle file, the removal of the companions, a file that no longer reads, and the
// one-pass scene run of kelvor-cli scenes.
#include <gtest/gtest.h>

#include "commands/CommandsTestSupport.h"
#include "commands/ScenesByDate.h"
#include "core/scenes/ScnFile.h"
#include "support/Tools.h"

namespace kelvor::commands {
namespace {

using test::Commands;

constexpr const char* kTwoScenes =
    "type=2 frames=10 date=2024-07-14T10:00:00; frames=15 date=2024-07-14T11:00:00";

std::vector<int> Ends(const std::string& scn, double rate = 25) {
    scenes::SceneList list;
    EXPECT_TRUE(scenes::ReadScnFile(scn, list, rate)) << scn;
    std::vector<int> out;
    for (const auto& e : list)
        out.push_back(e.Scene.EndFrame);
    return out;
}

TEST(ScenesText, EachFileGetsTheExportItsCompanionsAllow) {
    Commands c;
    c.make("a.avi", kTwoScenes);
    c.make("b.avi", kTwoScenes);
    {
        scenes::ScnWriter scn(c.path("a.avi"), scenes::ScnVariant::Narrow);
        scn.AddScene("from the scn file", 25);
    }
    std::vector<std::string> files{c.path("a.avi"), c.path("b.avi")};
    const bool ffmpeg = kelvor::test::ToolAvailable("ffmpeg");
    if (ffmpeg) {
        const auto made = kelvor::test::RunTool(
            {"ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25",
             "-t", "1", "-c:v", "mjpeg", "c.avi"},
            c.dir.path());
        ASSERT_EQ(made.exitCode, 0);
        files.push_back(c.path("c.avi"));
    }
    c.select(files);
    c.run("ScenesText");
    // a: from its scn file (one scene); b: by date (two scenes, with their dates).
    const std::string a = kelvor::test::ReadFile(c.dir / "a_scn.txt");
    const std::string b = kelvor::test::ReadFile(c.dir / "b_scn.txt");
    EXPECT_NE(a.find("from the scn file"), std::string::npos) << a;
    EXPECT_NE(b.find("7/14/2024 11:00:00"), std::string::npos) << b;
    ASSERT_EQ(c.host.outcomes.size(), files.size());
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::None);  // from a scn file: no refresh
    EXPECT_EQ(c.host.outcomes[1].second.Update, ListUpdate::Modify);
    if (ffmpeg) {  // c: by content
        EXPECT_TRUE(c.host.outcomes[2].second.Succeeded()) << c.host.outcomes[2].second.Failure;
        EXPECT_EQ(c.host.outcomes[2].second.Update, ListUpdate::Modify);
        EXPECT_TRUE(c.exists("c_scn.txt"));
    }

    c.list.SelectAll();
    c.host.answers = {Answer::No};
    c.run("ScenesExcel");
    EXPECT_TRUE(c.exists("a.xlsx"));
    EXPECT_TRUE(c.exists("b.xlsx"));
    EXPECT_TRUE(c.host.questions.empty());
}

TEST(ScenesByDate, AnsweringNoKeepsTheOldFileAndAFileThatNoLongerReadsTouchesNothing) {
    Commands c;
    c.make("a.avi", kTwoScenes);
    c.make("b.avi", kTwoScenes);
    kelvor::test::WriteFile(c.dir / "a.scn", "old");
    kelvor::test::WriteFile(c.dir / "b.scn", "old");
    c.select({c.path("a.avi"), c.path("b.avi")});
    // b is damaged after it was listed: its graph cannot be built.
    kelvor::test::WriteFile(c.dir / "b.avi", "no longer a video");
    c.host.answers = {Answer::No, Answer::Yes};
    c.run("CreerScnFromDate");
    ASSERT_EQ(c.host.questions.size(), 2u);
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "a.scn"), "old");
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "b.scn"), "old");
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update,
              ListUpdate::Modify);  // the record is re-read all the same
    EXPECT_FALSE(c.host.outcomes[0].second.Failure.empty());

    c.list.SelectAll();
    c.host.answers = {Answer::YesToAll};
    c.run("CreerScnFromDate");
    EXPECT_EQ(Ends(c.path("a.scn")), (std::vector<int>{10, 25}));
}

TEST(Subtitles, CreatedAndMovedToTheTrash) {
    Commands c;
    c.make("a.avi", kTwoScenes);
    c.select({c.path("a.avi")});
    c.run("Creer_srt");
    ASSERT_TRUE(c.exists("a.srt"));
    EXPECT_NE(kelvor::test::ReadFile(c.dir / "a.srt").find("-->"), std::string::npos);
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Modify);

    // The record now shows the subtitle file; moving it away refreshes the record.
    c.list.SelectAll();
    c.host.answers = {Answer::Yes};
    c.run("Supprimer_srt");
    EXPECT_EQ(c.trash.recycled, std::vector<std::string>{c.path("a.srt")});
    EXPECT_EQ(c.host.outcomes.back().second.Update, ListUpdate::Modify);
    EXPECT_FALSE(c.list.Item(0).Record->HasSrt);
}

TEST(DeleteScn, ReportsAModifiedRecordEvenWhenTheMoveFails) {
    Commands c;
    c.make("a.avi", kTwoScenes);
    kelvor::test::WriteFile(c.dir / "a.scn", "x");
    c.select({c.path("a.avi")});
    std::filesystem::remove(c.dir / "a.scn");  // gone before the command runs
    c.host.answers = {Answer::Yes};
    c.run("SupprimerScn");
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Modify);
    EXPECT_FALSE(c.host.outcomes[0].second.Failure.empty());
}

TEST(ScenesByDate, OnePassWritesTheScnFileAndTheListsAskedFor) {
    Commands c;
    c.make("clip.avi", kTwoScenes);
    kelvor::test::WriteFile(c.dir / "text.avi", "not a video");
    c.select({c.path("clip.avi"), c.path("text.avi")});
    c.run(ScenesByDateCommand(c.commandModule, {.Text = true, .Subtitles = true}));
    EXPECT_EQ(Ends(c.path("clip.scn")), (std::vector<int>{10, 25}));
    EXPECT_TRUE(c.exists("clip_scn.txt"));
    EXPECT_TRUE(c.exists("clip.srt"));
    EXPECT_FALSE(c.exists("text.scn"));
    ASSERT_EQ(c.host.skipped.size(), 1u);
    EXPECT_EQ(c.host.skipped[0].second, "not a DV file");
    EXPECT_TRUE(c.host.questions.empty());
}

}  // namespace
}  // namespace kelvor::commands

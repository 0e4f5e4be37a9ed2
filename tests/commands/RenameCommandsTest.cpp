// The rename and file-date commands on real DV files: the names of the examples byte for byte,
// the collision counter, the scn companion, the upper-case extension, names that may not be
// made, a target taken by another process between question and rename, and the file times.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "commands/CommandTexts.h"
#include "commands/CommandsTestSupport.h"
#include "commands/FileRename.h"

namespace kelvor::commands {
namespace {

using test::Commands;

constexpr const char* kMarch12 = "type=2 frames=3 date=2006-03-12T15:46:37";

std::vector<std::string> Names(const Commands& c) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(c.dir.path()))
        if (e.is_regular_file())
            out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

void RunYesToAll(Commands& c, const std::string& command) {
    c.host.answers.assign(8, Answer::YesToAll);
    c.run(command);
}

TEST(AddDatecode, TheExampleNamesAndTheCompanions) {
    Commands c;
    c.make("clip.avi", kMarch12);
    kelvor::test::WriteFile(c.dir / "clip.scn", "scn");
    kelvor::test::WriteFile(c.dir / "clip.srt", "srt");
    c.select({c.path("clip.avi")});
    c.host.answers = {Answer::Yes};
    c.run("AjouterDateCode");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you want to add a datecode to 'clip.avi'\r\nand rename it to "
              "'clip_2006.03.12_03.46.37_pm.avi'?");
    EXPECT_EQ(Names(c), (std::vector<std::string>{"clip_2006.03.12_03.46.37_pm.avi",
                                                  "clip_2006.03.12_03.46.37_pm.scn",
                                                  "clip_2006.03.12_03.46.37_pm.srt"}));
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Rename);
    EXPECT_EQ(c.host.outcomes[0].second.NewPath, c.path("clip_2006.03.12_03.46.37_pm.avi"));
    // The list shows the new name, selected.
    ASSERT_EQ(c.list.Count(), 1);
    EXPECT_EQ(c.list.Item(0).Text, "clip_2006.03.12_03.46.37_pm.avi");

    // Again: a second, longer name.
    c.list.SelectAll();
    RunYesToAll(c, "AjouterDateCode");
    EXPECT_TRUE(c.exists("clip_2006.03.12_03.46.37_pm_2006.03.12_03.46.37_pm.avi"));
}

TEST(AddDatecode, BeforeTheNameAndAnUpperCaseExtension) {
    Commands c;
    c.prefs.AddBeforeName = true;
    c.make("clip.avi", kMarch12);
    c.make("CLIP2.AVI", kMarch12);
    c.select({c.path("clip.avi")});
    RunYesToAll(c, "AjouterDateCode");
    EXPECT_TRUE(c.exists("2006.03.12_03.46.37_pm_clip.avi"));
    c.prefs.AddBeforeName = false;
    c.list.Clear();
    c.select({c.path("CLIP2.AVI")});
    RunYesToAll(c, "AjouterDateCode");
    EXPECT_TRUE(c.exists("CLIP2_2006.03.12_03.46.37_pm.avi"));
}

TEST(RenameToDate, TheCounterFollowsTheNameAndAnUnchangedNameGetsOne) {
    Commands c;
    c.make("x.avi", kMarch12);
    c.make("y.avi", kMarch12);
    kelvor::test::WriteFile(c.dir / "y.scn", "scn");
    c.select({c.path("x.avi"), c.path("y.avi")});
    RunYesToAll(c, "RenameScAn");
    // Two files of the same second: the second gets (1), its scn file along.
    EXPECT_EQ(Names(c), (std::vector<std::string>{"ClipDV_20060312_03.46.37_pm(1).avi",
                                                  "ClipDV_20060312_03.46.37_pm(1).scn",
                                                  "ClipDV_20060312_03.46.37_pm.avi"}));
    // Renaming the file whose name it already has: the file itself counts as taken.
    c.list.Clear();
    c.select({c.path("ClipDV_20060312_03.46.37_pm.avi")});
    c.host.answers = {Answer::Yes};
    c.host.questions.clear();
    c.run("RenameScAn");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you want to rename the file  'ClipDV_20060312_03.46.37_pm.avi' in "
              "'ClipDV_20060312_03.46.37_pm(2).avi'?");
}

TEST(RenameToDate, AFormatThatWritesAFolderSeparatorFailsWhileTheDatecodeRenameReplacesIt) {
    Commands c;
    c.prefs.RenameFormat = "ddddd";
    c.prefs.AddDatecodeFormat = "ddddd hh:nn";
    c.make("clip.avi", kMarch12);
    c.select({c.path("clip.avi")});
    RunYesToAll(c, "RenameScAn");
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::None);
    EXPECT_FALSE(c.host.outcomes[0].second.Failure.empty());
    EXPECT_TRUE(c.exists("clip.avi"));
    c.list.SelectAll();
    RunYesToAll(c, "AjouterDateCode");
    EXPECT_TRUE(c.exists("clip_3.12.2006 15.46.avi"));
}

TEST(ShortenName, RemovesWhatTheCommandsAppended) {
    Commands c;
    c.make("clip_2006.03.12_15.46.37_pm_ntsc.avi", kMarch12);
    c.make("holiday_x_type1.avi", kMarch12);
    c.make("my_holiday.avi", kMarch12);
    c.make("in_folder/plain.avi", kMarch12);
    c.select({c.path("clip_2006.03.12_15.46.37_pm_ntsc.avi"), c.path("holiday_x_type1.avi"),
              c.path("my_holiday.avi"), c.path("in_folder/plain.avi")});
    RunYesToAll(c, "PurgerNom");
    EXPECT_TRUE(c.exists("clip.avi"));
    EXPECT_TRUE(c.exists("holiday_x.avi"));
    EXPECT_TRUE(c.exists("my_holiday.avi"));
    EXPECT_TRUE(c.exists("in_folder/plain.avi"));
    EXPECT_EQ(c.host.skipped.size(), 2u);
}

TEST(Renames, ANameTakenBetweenTheQuestionAndTheRenameIsNeverReplaced) {
    Commands c;
    c.make("clip.avi", kMarch12);
    c.select({c.path("clip.avi")});
    // Another program creates the proposed name while the question is open.
    c.host.onConfirm = [&](const FileItem&) {
        kelvor::test::WriteFile(c.dir / "clip_2006.03.12_03.46.37_pm.avi", "theirs");
    };
    c.host.answers = {Answer::Yes};
    c.run("AjouterDateCode");
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "clip_2006.03.12_03.46.37_pm.avi"), "theirs");
    EXPECT_TRUE(c.exists("clip_2006.03.12_03.46.37_pm(1).avi"));

    kelvor::test::WriteFile(c.dir / "a", "a");
    kelvor::test::WriteFile(c.dir / "b", "b");
    EXPECT_EQ(RenameNoReplace(c.path("a"), c.path("b")), RenameStatus::TargetExists);
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "a"), "a");
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "b"), "b");
    EXPECT_EQ(RenameNoReplace(c.path("a"), c.path("c")), RenameStatus::Renamed);
}

TEST(Renames, CompanionsFollowAndNoneIsAdopted) {
    Commands c;
    c.make("b.avi", kMarch12);
    kelvor::test::WriteFile(c.dir / "b.srt", "srt of b");
    // Another video's scn and srt lie under the names b would get: b takes the next name free
    // for all three, adopts neither and takes its own srt along.
    kelvor::test::WriteFile(c.dir / "ClipDV_20060312_03.46.37_pm.scn", "another scn");
    kelvor::test::WriteFile(c.dir / "ClipDV_20060312_03.46.37_pm(1).srt", "another srt");
    c.select({c.path("b.avi")});
    RunYesToAll(c, "RenameScAn");
    EXPECT_EQ(Names(c),
              (std::vector<std::string>{
                  "ClipDV_20060312_03.46.37_pm(1).srt", "ClipDV_20060312_03.46.37_pm(2).avi",
                  "ClipDV_20060312_03.46.37_pm(2).srt", "ClipDV_20060312_03.46.37_pm.scn"}));
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "ClipDV_20060312_03.46.37_pm(2).srt"), "srt of b");
}

TEST(Renames, AQuestionWithVeryLongNamesFallsBackToItsShorterForms) {
    Commands c;
    const std::string longName(120, 'v');
    c.make(longName + ".avi", kMarch12);
    c.select({c.path(longName + ".avi")});
    c.host.answers = {Answer::No};
    c.run("AjouterDateCode");
    ASSERT_EQ(c.host.questions.size(), 1u);
    const std::string& m = c.host.questions[0].Message;
    EXPECT_EQ(m, "Do you want to add a datecode to this filename and rename it to\r\n'" + longName +
                     "_2006.03.12_03.46.37_pm.avi'?");
    EXPECT_TRUE(FitsMessage(m));
    EXPECT_EQ(FirstFitting({std::string(300, 'x'), std::string(260, 'y'), "short"}), "short");
}

TEST(FileDate, SetsTheModificationTimeFromTheDatecodeAndKeepsTheAccessTime) {
    Commands c;
    c.prefs.TimeShift = 1.0 / 24;  // names only: the dates stay the recording's
    c.make("clip.avi", kMarch12);
    c.select({c.path("clip.avi")});
    struct timespec times[2]{};
    times[0].tv_sec = 1000000000;  // 2001
    times[1].tv_nsec = UTIME_OMIT;
    ASSERT_EQ(::utimensat(AT_FDCWD, c.path("clip.avi").c_str(), times, 0), 0);
    c.host.answers = {Answer::Yes};
    // Seen before the list re-reads the file (a read may move the access time on).
    struct stat st {};
    c.host.onDone = [&](const FileItem& f) { ::stat(f.FullName().c_str(), &st); };
    c.run("FileDate");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(c.host.questions[0].Message.rfind("Do you really want to modify the dates of the "
                                                "file 'clip.avi'\r\n\r\nOld creation date: ",
                                                0),
              0u);
    // The date in the window's style: the locale's short date, its 12 h or 24 h time.
    const std::string& asked = c.host.questions[0].Message;
    const std::string dateLine = "\r\nNew date : 3/12/2006 ";
    const std::size_t newDate = asked.find(dateLine);
    ASSERT_NE(newDate, std::string::npos) << asked;
    const std::string time = asked.substr(newDate + dateLine.size());
    EXPECT_TRUE(time == "15:46:37" || time == "3:46:37 PM") << time;
    std::tm local{};
    local.tm_year = 2006 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 12;
    local.tm_hour = 15;
    local.tm_min = 46;
    local.tm_sec = 37;
    local.tm_isdst = -1;
    EXPECT_EQ(st.st_mtim.tv_sec, std::mktime(&local));
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Modify);
    EXPECT_EQ(c.host.preview, (std::vector<std::string>{"release " + c.path("clip.avi"),
                                                        "take back " + c.path("clip.avi")}));
}

}  // namespace
}  // namespace kelvor::commands

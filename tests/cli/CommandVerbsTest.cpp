// kelvor-cli script and do as a user runs them: a folder of clips renamed after their datecodes
// with their scn files along, nothing replaced without a terminal or an answer, the JSON
// report, the dry run, the exit statuses.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>

#include "commands/CommandModule.h"
#include "commands/ScriptParser.h"
#include "core/avi/AviHeaderPatcher.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

class CommandVerbs : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", (dir / "cfg").c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    std::string make(const std::string& name, const std::string& date) {
        std::string error;
        fs::create_directories((dir / name).parent_path());
        EXPECT_TRUE(
            fixtures::WriteDvFile((dir / name).string(), "type=2 frames=5 date=" + date, error))
            << error;
        return (dir / name).string();
    }
    test::ToolResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), KELVOR_CLI);
        return test::RunTool(args, dir.path());
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    test::TempDir dir;
};

TEST_F(CommandVerbs, ScriptRenamesEveryClipWithItsScnFile) {
    make("v/a.avi", "2006-03-12T15:46:37");
    make("v/b.avi", "2007-01-02T03:04:05");
    test::WriteFile(dir / "v" / "a.scn", "scenes");
    // As the shell expands v/*.avi, with the answer option last.
    auto r = cli({"script", "v/a.avi", "v/b.avi", "+d", "--yes-to-all"});
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir / "v"))
        v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    EXPECT_EQ(
        v, (std::vector<std::string>{"a_2006.03.12_03.46.37_pm.avi", "a_2006.03.12_03.46.37_pm.scn",
                                     "b_2007.01.02_03.04.05_am.avi"}));

    // The mask kelvor-cli expands itself, and the JSON report.
    auto json = cli({"script", "--json", "--yes-to-all", "v/*.AVI", "+q"});
    EXPECT_EQ(json.exitCode, 0);
    const std::string entry =
        "\"command\": \"ShortenName\",\n"
        "            \"file\": \"" +
        (dir / "v").string() +
        "/a_2006.03.12_03.46.37_pm.avi\",\n"
        "            \"newPath\": \"" +
        (dir / "v").string() +
        "/a.avi\",\n"
        "            \"partial\": false,\n"
        "            \"reason\": null,\n"
        "            \"status\": \"done\",\n"
        "            \"update\": \"rename\",";
    EXPECT_NE(json.out.find(entry), std::string::npos) << json.out;
    EXPECT_TRUE(fs::exists(dir / "v" / "a.scn"));
}

TEST_F(CommandVerbs, WithoutATerminalOrAnAnswerNothingIsReplaced) {
    make("a.avi", "2006-03-12T15:46:37");
    test::WriteFile(dir / "a.scn", "old");
    // Declined for want of an answer: nothing was done.
    auto scn = cli({"script", "a.avi", "+s"});
    EXPECT_EQ(scn.exitCode, 3);
    EXPECT_EQ(test::ReadFile(dir / "a.scn"), "old");
    auto rename = cli({"do", "AjouterDateCode", "a.avi"});
    EXPECT_EQ(rename.exitCode, 3);
    auto no = cli({"do", "d", "--no-to-all", "a.avi"});
    EXPECT_EQ(no.exitCode, 3);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.avi", "a.scn"}));
    // A file without a question is processed all the same.
    make("b.avi", "2006-03-12T15:46:37");
    auto b = cli({"do", "S", "--json", "b.avi"});
    EXPECT_EQ(b.exitCode, 0);
    EXPECT_TRUE(fs::exists(dir / "b.scn"));
    EXPECT_NE(b.out.find("\"update\": \"modify\""), std::string::npos) << b.out;
}

TEST_F(CommandVerbs, DryRunNamesWithoutRenaming) {
    make("x_pal.avi", "2006-03-12T15:46:37");
    make("y_ntsc.avi", "2006-03-12T15:46:37");
    test::WriteFile(dir / "x.avi", "taken");
    auto r = cli({"do", "PurgerNom", "--dry-run", "x_pal.avi", "y_ntsc.avi"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, (dir / "x_pal.avi").string() + " -> " + (dir / "x(1).avi").string() + "\n" +
                         (dir / "y_ntsc.avi").string() + " -> " + (dir / "y.avi").string() + "\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"x.avi", "x_pal.avi", "y_ntsc.avi"}));
}

TEST_F(CommandVerbs, ValuesAndExitStatuses) {
    const std::string a = make("a.avi", "2006-03-12T15:46:37");
    auto fps = cli({"script", "a.avi", "+y=29,97", "--yes-to-all"});
    EXPECT_EQ(fps.exitCode, 0);
    avi::AviHeaderPatcher patcher;
    const auto at = patcher.LocateHeaderFields(a);
    ASSERT_GE(at.ScaleOffset, 0);
    const std::string bytes = test::ReadFile(dir / "a.avi");
    EXPECT_EQ(static_cast<unsigned char>(bytes[static_cast<std::size_t>(at.ScaleOffset)]) |
                  static_cast<unsigned char>(bytes[static_cast<std::size_t>(at.ScaleOffset) + 1])
                      << 8,
              33367);

    auto ntsc = cli({"do", "Ntsc", "--json", "a.avi"});
    EXPECT_EQ(ntsc.exitCode, 0);
    EXPECT_NE(ntsc.out.find("\"status\": \"done\""), std::string::npos) << ntsc.out;
    EXPECT_TRUE(fs::exists(dir / "a_ntsc.avi"));
    EXPECT_EQ(cli({"do", "CorrigerFps", "a.avi"}).exitCode, 2);
    // A dry run of a conversion names the file and leaves the output as it was.
    const auto converted = fs::last_write_time(dir / "a_ntsc.avi");
    auto dry = cli({"do", "Ntsc", "--dry-run", "a.avi"});
    EXPECT_EQ(dry.exitCode, 0);
    EXPECT_EQ(dry.out, a + "\n");
    EXPECT_EQ(fs::last_write_time(dir / "a_ntsc.avi"), converted);
    EXPECT_EQ(cli({"do", "Nothing", "a.avi"}).exitCode, 2);
    EXPECT_EQ(cli({"do", "F", "a.avi"}).exitCode, 2);
    EXPECT_EQ(cli({"do", "S"}).exitCode, 2);
    EXPECT_EQ(cli({"script"}).exitCode, 2);
    EXPECT_EQ(cli({"script", "--bogus", "a.avi"}).exitCode, 2);
    EXPECT_EQ(cli({"script", "--yes-to-all", "--no-to-all", "a.avi"}).exitCode, 2);
    EXPECT_EQ(cli({"script", "missing.avi", "+s"}).exitCode, 1);
    auto help = cli({"help"});
    EXPECT_NE(help.out.find("  N,M  ToNtsc"), std::string::npos) << help.out;
    // One line for every command of the table, with its historic name where it has another.
    for (const commands::CommandInfo& c : commands::CommandTable())
        EXPECT_NE(help.out.find(std::string(" ") + c.Name + " "), std::string::npos) << c.Name;
    EXPECT_NE(help.out.find("[AjouterDateCode]"), std::string::npos);
}

TEST_F(CommandVerbs, NamesThatDifferOnlyByCaseAreTwoFilesProcessed) {
    // The same date, so that the list's order by datecode ties on the name.
    make("x.avi", "2006-03-12T15:46:37");
    make("X.AVI", "2006-03-12T15:46:37");
    auto r = cli({"script", "--json", "x.avi", "X.AVI", "+s", "--yes-to-all"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "x.scn"));
    EXPECT_TRUE(fs::exists(dir / "X.scn"));
    EXPECT_NE(r.out.find("\"file\": \"" + (dir / "x.avi").string() + "\""), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"file\": \"" + (dir / "X.AVI").string() + "\""), std::string::npos)
        << r.out;
}

TEST_F(CommandVerbs, ASwitchThatCannotRunIsNamedAndFailsTheRun) {
    make("a.avi", "2006-03-12T15:46:37");
    test::WriteFile(dir / "notes.txt", "not a list of videos\n");
    fs::create_directories(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string many;
    for (std::size_t i = 0; i <= commands::kMaxScriptSwitches; ++i)
        many += "+#\n";
    test::WriteFile(dir / "many.txt", many);
    const std::vector<std::string> before = names();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"+Y=abc", "+Y=abc: 'abc' is not a decimal number"},
        {"+Y=1e400", "+Y=1e400: '1e400' is not a decimal number"},
        {"+E=--1", "+E=--1: '--1' is not a decimal number"},
        {"+E=0", "+E=0: a time shift of 0 changes nothing"},
        {"+9", "+9: no switch has the letter 9"},
        {"+L=missing.txt", "+L=missing.txt: the script file cannot be read: No such file"},
        {"+L=folder", "+L=folder: the script file cannot be read: a folder, not a file"},
        {"+L=/dev/zero", "+L=/dev/zero: the script file cannot be read: not a regular file"},
        {"+L=fifo", "+L=fifo: the script file cannot be read: not a regular file"},
        {"+L=many.txt", "+#: the script holds more than 100000 switches"},
        {"+U=notes.txt", "+U=notes.txt: not a playlist: it names no .avi file that exists"},
    };
    for (const auto& [sw, message] : cases) {
        auto r = cli({"script", "a.avi", sw, "--yes-to-all"});
        EXPECT_EQ(r.exitCode, 1) << sw;
        EXPECT_NE(r.err.find("kelvor-cli script: " + message), std::string::npos) << r.err;
    }
    // A time shift of 0 writes no copy, from a script or from do.
    auto shift = cli({"do", "ShiftTime", "--shift", "0", "a.avi"});
    EXPECT_EQ(shift.exitCode, 2);
    EXPECT_NE(shift.err.find("--shift a time shift of 0 changes nothing"), std::string::npos)
        << shift.err;
    EXPECT_EQ(names(), before);
}

TEST_F(CommandVerbs, AFileThatIsNotAVideoGetsNoDate) {
    test::WriteFile(dir / "notes.avi", "only text\n");
    const std::string notes = (dir / "notes.avi").string();
    struct timespec times[2] = {{0, UTIME_OMIT}, {1500000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, notes.c_str(), times, 0), 0);
    for (const char* command : {"SetFileDate", "AddDatecode", "RenameToDate"}) {
        // Passed over, so nothing was done.
        auto r = cli({"do", command, "--yes-to-all", "notes.avi"});
        EXPECT_EQ(r.exitCode, 3) << command;
        EXPECT_NE(r.err.find(notes), std::string::npos) << r.err;
        struct stat st {};
        ASSERT_EQ(::stat(notes.c_str(), &st), 0) << command;
        EXPECT_EQ(st.st_mtim.tv_sec, 1500000000) << command;
    }
    EXPECT_EQ(names(), std::vector<std::string>{"notes.avi"});
}

}  // namespace
}  // namespace kelvor

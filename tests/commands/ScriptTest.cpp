// Scripts of switches: the token and line rules, script files naming others and themselves, and
// the runner's list switches, command switches and the decisions on X and V.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "commands/CommandsTestSupport.h"
#include "commands/ListLoading.h"
#include "commands/ScriptParser.h"
#include "commands/ScriptRunner.h"
#include "core/scenes/ScnFile.h"

namespace kelvor::commands {
namespace {

using test::Commands;

std::string Letters(const Script& script) {
    std::string out;
    for (const ScriptSwitch& p : script)
        out += p.Letter;
    return out;
}

TEST(ScriptParser, TokensOfTheCommandLine) {
    const Script s = ParseCommandLine({"/v/dir/*.avi", "+d", "-q", "/q", "+Q", "+dx",
                                       "+e=", " +y=\"25\" ", "\"/v/a b.avi\"", "+k=dv"});
    EXPECT_EQ(Letters(s), "FDQQQFEYFK");
    EXPECT_EQ(s[0].Value, "/v/dir/*.avi");
    EXPECT_EQ(s[1].Prefix, ' ');
    // "+dx" is not a switch: a file name that loads nothing.
    EXPECT_EQ(s[5], (ScriptSwitch{'+', 'F', "+dx"}));
    EXPECT_EQ(s[6], (ScriptSwitch{'+', 'E', ""}));
    EXPECT_EQ(s[7].Value, "\"25\"");
    EXPECT_EQ(s[8].Value, "/v/a b.avi");
    EXPECT_EQ(s[9], (ScriptSwitch{'+', 'K', "dv"}));
}

TEST(ScriptParser, ScriptLinesQuotesAndFilesNamedWithL) {
    kelvor::test::TempDir dir;
    const std::string sub = (dir / "sub.txt").string();
    const std::string main = (dir / "main.txt").string();
    const std::string self = (dir / "self.txt").string();
    kelvor::test::WriteFile(sub, "+d +q\n");
    kelvor::test::WriteFile(main, "+f=\"" + (dir / "a b").string() + "/x.avi\" +r\r\n\n   \n+l=\"" +
                                      sub + "\"\n+z\n+l=" + (dir / "missing.txt").string() + "\n");
    // Named again by itself, and again through the file it names.
    kelvor::test::WriteFile(self,
                            "+a\n+l=" + self + "\n+l=" + (dir / "back.txt").string() + "\n+s\n");
    kelvor::test::WriteFile(dir / "back.txt", "+j +l=" + self + " +c");

    const Script m = LoadScriptFile(main);
    // The missing script file stays as a refused switch, so the runner reports it.
    EXPECT_EQ(Letters(m), "FRFDQZL");
    EXPECT_EQ(m.back().Refusal, "the script file cannot be read: No such file or directory");
    EXPECT_EQ(m[0].Value, (dir / "a b").string() + "/x.avi");
    // A line of spaces is one file switch with an empty value; an empty line gives nothing.
    EXPECT_EQ(m[2], (ScriptSwitch{'+', 'F', ""}));

    EXPECT_EQ(Letters(LoadScriptFile(self)), "AJCS");
    // The same file twice in a row is read twice: only a file being read is skipped.
    EXPECT_EQ(Letters(ParseCommandLine({"+l=" + sub, "+l=" + sub})), "DQDQ");
}

TEST(ScriptParser, ScriptFilesThatCannotBeReadAndSwitchesPastTheCapAreRefused) {
    kelvor::test::TempDir dir;
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = (dir / "large.txt").string();
    kelvor::test::WriteFile(large, "+d\n");
    std::filesystem::resize_file(large, kMaxScriptFileBytes + 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir.path().string(), "a folder, not a file"},
        {"/dev/zero", "not a regular file"},
        // Read without waiting for a writer.
        {fifo, "not a regular file"},
        {large, "larger than 16777216 bytes"},
    };
    for (const auto& [path, why] : cases) {
        const Script s = ParseCommandLine({"+l=" + path, "+d"});
        ASSERT_EQ(Letters(s), "LD") << path;
        EXPECT_EQ(s[0].Value, path);
        EXPECT_EQ(s[0].Refusal, "the script file cannot be read: " + why);
        EXPECT_EQ(SwitchText(s[0]), "+L=" + path);
    }

    // The first switch past the cap is kept refused; the rest are dropped.
    std::vector<std::string> many(kMaxScriptSwitches + 5, "+#");
    many[kMaxScriptSwitches] = "+y=25";
    const Script cut = ParseCommandLine(many);
    ASSERT_EQ(cut.size(), kMaxScriptSwitches + 1);
    EXPECT_TRUE(cut[kMaxScriptSwitches - 1].Refusal.empty());
    EXPECT_EQ(SwitchText(cut.back()), "+Y=25");
    EXPECT_EQ(cut.back().Refusal,
              "the script holds more than 100000 switches: this one and the rest are not run");
}

TEST(ScriptParser, NumbersOfTheValueSwitches) {
    EXPECT_EQ(ScriptNumber("0.0416666"), 0.0416666);
    EXPECT_EQ(ScriptNumber("29,97"), 29.97);
    EXPECT_EQ(ScriptNumber("-2"), -2.0);
    EXPECT_FALSE(ScriptNumber(""));
    EXPECT_FALSE(ScriptNumber("abc"));
    EXPECT_FALSE(ScriptNumber("1.2.3"));
    EXPECT_FALSE(ScriptNumber("+"));
}

TEST(ListLoading, MasksAndPlaylists) {
    kelvor::test::TempDir dir;
    for (const char* n : {"a.avi", "B.AVI", "c.txt", ".hidden.avi", "d1.avi", "d22.avi"})
        kelvor::test::WriteFile(dir / n, "x");
    std::filesystem::create_directories(dir / "folder.avi");
    const std::string d = dir.path().string() + "/";
    EXPECT_EQ(ExpandFileMask(d + "*.avi"),
              (std::vector<std::string>{d + "B.AVI", d + "a.avi", d + "d1.avi", d + "d22.avi"}));
    EXPECT_EQ(ExpandFileMask(d + "d?.avi"), std::vector<std::string>{d + "d1.avi"});
    EXPECT_EQ(ExpandFileMask(d + "a.avi"), std::vector<std::string>{d + "a.avi"});
    EXPECT_TRUE(ExpandFileMask(d + "missing.avi").empty());
    EXPECT_TRUE(MatchesMask("abc", "a*b*c*"));
    EXPECT_FALSE(MatchesMask("abc", "a*d"));

    kelvor::test::WriteFile(dir / "list.txt", "# -----\r\n#\r\n\r\n     " + d + "a.avi\r\n" + d +
                                                  "B.AVI\n  \t\n# end\n");
    EXPECT_EQ(*PlaylistEntries((dir / "list.txt").string()),
              (std::vector<std::string>{d + "a.avi", d + "B.AVI"}));
    EXPECT_FALSE(PlaylistEntries((dir / "none.txt").string()));
}

TEST(ListLoading, PlaylistsInUtf8AndInWindows1252) {
    kelvor::test::TempDir dir;
    const std::string d = dir.path().string() + "/";
    // "été.avi" in UTF-8, with and without a byte order mark.
    kelvor::test::WriteFile(dir / "utf8.txt", "# x\r\n     " + d + "\xC3\xA9t\xC3\xA9.avi\r\n");
    kelvor::test::WriteFile(dir / "bom.txt", "\xEF\xBB\xBF" + d + "\xC3\xA9t\xC3\xA9.avi\r\n");
    // The same name as a Windows playlist writes it, and a byte 0x80 that is the euro sign there.
    kelvor::test::WriteFile(dir / "ansi.txt", "# Done on 14/07/2024\r\n     " + d +
                                                  "\xE9t\xE9.avi\r\n" + d + "\x80.avi");
    const std::vector<std::string> ete{d + "\xC3\xA9t\xC3\xA9.avi"};
    EXPECT_EQ(*PlaylistEntries((dir / "utf8.txt").string()), ete);
    EXPECT_EQ(*PlaylistEntries((dir / "bom.txt").string()), ete);
    EXPECT_EQ(*PlaylistEntries((dir / "ansi.txt").string()),
              (std::vector<std::string>{ete[0], d + "\xE2\x82\xAC.avi"}));

    EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xA5"));
    EXPECT_FALSE(IsValidUtf8("\xE9t\xE9"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
}

TEST(ScriptRunner, LoadsSelectedFilesAndRunsEachSwitchInTurn) {
    Commands c;
    for (const char* n : {"a.avi", "b.avi"})
        c.make(n, "type=2 frames=5 date=2024-01-01T10:00:00");
    kelvor::test::WriteFile(c.dir / "notes.txt", "x");
    Script script = ParseCommandLine({c.path("*.avi"), c.path("notes.txt"), "+s", "+h"});
    const ScriptRunner::Result r = ScriptRunner(c.services()).Run(script);
    EXPECT_TRUE(r.CloseRequested);
    EXPECT_TRUE(script.empty());
    EXPECT_EQ(c.list.Count(), 2);
    EXPECT_TRUE(c.exists("a.scn"));
    EXPECT_TRUE(c.exists("b.scn"));
    // The files a run reached are selected again for the next switch.
    EXPECT_EQ(c.list.SelectedFiles().size(), 2u);
}

TEST(ScriptRunner, SwitchesThatStartNothing) {
    Commands c;
    ScriptRunner runner(c.services());
    ScriptRunner::Result r;
    // +d with an empty list, +e= (not a number), an unknown letter.
    EXPECT_FALSE(runner.RunSwitch({' ', 'D', ""}, r));
    kelvor::test::WriteFile(c.dir / "a.avi", "x");
    c.select({c.path("a.avi")});
    EXPECT_FALSE(runner.RunSwitch({'+', 'E', ""}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', 'Y', "abc"}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', '%', ""}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', 'Y', "1e400"}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', 'E', "--1"}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', 'E', "0"}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', 'U', c.path("a.avi")}, r));
    EXPECT_FALSE(runner.RunSwitch({'+', 'U', c.path("none.txt")}, r));
    EXPECT_TRUE(c.host.batches.empty());
    EXPECT_FALSE(r.CloseRequested);
    // Each switch that could not run for a reason of its own is named with the reason; +d on
    // an empty list is no fault of the switch.
    using Refused = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(
        c.host.refused,
        (Refused{{"+E", "needs a decimal number"},
                 {"+Y=abc", "'abc' is not a decimal number"},
                 {"+%", "no switch has the letter %"},
                 {"+Y=1e400", "'1e400' is not a decimal number"},
                 {"+E=--1", "'--1' is not a decimal number"},
                 {"+E=0", "a time shift of 0 changes nothing"},
                 {"+U=" + c.path("a.avi"), "not a playlist: it names no .avi file that exists"},
                 {"+U=" + c.path("none.txt"),
                  "the playlist cannot be read: No such file or directory"}}));
}

TEST(FileList, NamesThatDifferOnlyByCaseAreTwoItemsSortedWithoutCase) {
    Commands c;
    // The same date and size, so that every sort mode ties on the name.
    for (const char* n : {"w.avi", "x.avi", "X.AVI"})
        c.make(n, "type=2 frames=5 date=2024-01-01T10:00:00");
    for (int mode = 0; mode < 4; ++mode) {
        FileList list(c.probe, {}, mode, true);
        for (const char* n : {"x.avi", "X.AVI", "w.avi", "x.avi"})
            list.AddFile(c.path(n));
        ASSERT_EQ(list.Count(), 3) << mode;
        EXPECT_EQ(list.Item(0).Record->Name, "w.avi") << mode;
        EXPECT_NE(list.FindItem(c.path("x.avi")), list.FindItem(c.path("X.AVI")));
        EXPECT_EQ(list.SelectedFiles().size(), 3u);
    }
}

TEST(ScriptRunner, XFollowsTheCurrentFileOrElseTheFirstSelected) {
    Commands c;
    c.make("a.avi", "type=2 frames=5 date=2024-01-01T10:00:00");
    c.make("b.avi", "type=2 frames=5 date=2024-01-01T10:00:00");
    {
        scenes::ScnWriter scn(c.path("a.avi"), scenes::ScnVariant::Narrow);
        scn.AddScene("one", 5);
    }
    c.select({c.path("a.avi"), c.path("b.avi")});
    ScriptRunner runner(c.services());
    ScriptRunner::Result r;
    // No current file: the first selected (a, which has a scn file) chooses the export from
    // scn files, which only a takes; b is passed over by the short worker.
    ASSERT_FALSE(c.list.CurrentFile());
    EXPECT_TRUE(runner.RunSwitch({'+', 'X', ""}, r));
    EXPECT_EQ(c.host.batches.back(), RunKind::File);
    EXPECT_TRUE(c.exists("a_scn.txt"));
    EXPECT_FALSE(c.exists("b_scn.txt"));
    ASSERT_EQ(c.host.skipped.size(), 1u);
    EXPECT_EQ(c.host.skipped[0], (std::pair<std::string, std::string>{"b.avi", "no scn file"}));

    // b focused: the export by date, by the graph worker, for both.
    std::filesystem::remove(c.dir / "a_scn.txt");
    c.list.Focus(c.list.FindItem(c.path("b.avi")));
    c.list.SelectAll();
    EXPECT_TRUE(runner.RunSwitch({'+', 'X', ""}, r));
    EXPECT_EQ(c.host.batches.back(), RunKind::Graph);
    EXPECT_TRUE(c.exists("a_scn.txt"));
    EXPECT_TRUE(c.exists("b_scn.txt"));

    // V: the spreadsheet export of the scenes.
    c.list.SelectAll();
    EXPECT_TRUE(runner.RunSwitch({'+', 'V', ""}, r));
    EXPECT_TRUE(c.exists("a.xlsx"));
    EXPECT_TRUE(c.exists("b.xlsx"));
}

TEST(ScriptRunner, ShiftEscEndsTheScript) {
    Commands c;
    kelvor::test::WriteFile(c.dir / "a.avi", "x");
    kelvor::test::WriteFile(c.dir / "a.scn", "x");
    kelvor::test::WriteFile(c.dir / "a.srt", "x");
    c.host.onConfirm = [&](const FileItem&) { c.control.AbortAll(); };
    c.host.answers = {Answer::No};
    Script script = ParseCommandLine({c.path("a.avi"), "+z", "+j"});
    ScriptRunner(c.services()).Run(script);
    // The first command ran to its end; the second never started.
    EXPECT_EQ(c.host.batches.size(), 1u);
    EXPECT_TRUE(c.exists("a.srt"));
}

}  // namespace
}  // namespace kelvor::commands

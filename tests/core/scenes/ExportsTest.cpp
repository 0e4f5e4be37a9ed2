#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "core/scenes/ScenesTestSupport.h"
#include "core/scenes/ScnConversions.h"
#include "core/scenes/ScnFile.h"
#include "core/scenes/SpreadsheetWriters.h"
#include "core/scenes/TextWriters.h"
#include "core/shell/About.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor::scenes {
namespace {

using kelvor::test::TempDir;

ExportContext context25() {
    ExportContext c;
    c.FrameRate = 25;
    c.Now = test::fixedNow;
    return c;
}

// The lists name their video in lower case (the scratch folder's name has capitals).
std::string lowerCase(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

std::string header(const std::string& name, bool extended) {
    return "//--------------------------------------------------\r\n"
           "// List of scenes of the video file:\r\n"
           "//\r\n"
           "// ***   " +
           lowerCase(name) +
           "   ***\r\n"
           "//\r\n"
           "// exported by Kelvor version " +
           about::VersionText() +
           " En\r\n"
           "// with format:\r\n" +
           (extended ? "// scene number, start, end, datecode, timecode, duration, caption\r\n"
                     : "// scene number, start, end, duration, caption\r\n") +
           "//\r\n"
           "//--------------------------------------------------\r\n"
           "\r\n";
}

const std::string kFooter =
    "\r\n"
    "//--------------------------------------------------\r\n"
    "// Terminated at Friday, December 25, 2026 at 13:05:09\r\n"
    "// Visit my web site https://quennel.example/kelvor\r\n"
    "//\r\n";

TEST(TextList, PlainAndExtendedLinesAreExact) {
    TempDir dir;
    const std::string video = dir.file("Holiday.AVI");
    {
        ScnTextWriter t(video, context25());
        EXPECT_EQ(t.FileName(), dir.file("Holiday_scn.txt"));
        t.AddSceneLine("", 250);
        t.AddSceneLine("a\r\nb", 400);
        DatedScnTextWriter x(dir.file("other.avi"), context25());
        x.AddSceneLine(250, "", "3/15/2004 10:00:00", "0:00:01:02");
        x.AddSceneLine(400, "", "", "");
    }
    EXPECT_EQ(test::readText(dir.file("Holiday_scn.txt")),
              header(dir.file("holiday.avi"), false) +
                  "  1, 00.00.00.00, 00.00.10.00, 00.00.10.00, \r\n"
                  "  2, 00.00.10.00, 00.00.16.00, 00.00.06.00, a | b\r\n" +
                  kFooter);
    EXPECT_EQ(test::readText(dir.file("other_scn.txt")),
              header(dir.file("other.avi"), true) +
                  "  1, 00.00.00.00, 00.00.10.00, 3/15/2004 10:00:00, 0:00:01:02, 00.00.10.00, \r\n"
                  "  2, 00.00.10.00, 00.00.16.00, , , 00.00.06.00, \r\n" +
                  kFooter);
}

TEST(TextList, WithoutScenesHoldsHeaderAndFooterAndReplacesOnlyWhenDone) {
    TempDir dir;
    const std::string video = dir.file("v.avi");
    test::writeBytes(dir.file("v_scn.txt"), {'o', 'l', 'd'});
    {
        ScnTextWriter t(video, context25());
        // Until the writer closes, the old list stays whole.
        EXPECT_EQ(test::readText(dir.file("v_scn.txt")), "old");
    }
    EXPECT_EQ(test::readText(dir.file("v_scn.txt")), header(video, false) + kFooter);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"v_scn.txt"});

    // A folder that does not exist: nothing is written, nothing throws.
    ScnTextWriter lost(dir.file("none/v.avi"), context25());
    EXPECT_FALSE(lost.Good());
    lost.AddSceneLine("x", 3);
    EXPECT_FALSE(lost.Close());
}

TEST(Subtitles, EntriesAreWrittenOneCallLate) {
    TempDir dir;
    {
        SrtWriter s(dir.file("v.avi"), context25());
        s.AddSubtitle(0, "x", "y");
        s.AddSubtitle(125, "x", "z");
        s.AddSubtitle(250, "", "");
        s.AddSubtitle(300, "", "");
        s.AddSubtitle(400, "", "10:00:00");
        s.AddSubtitle(450, "", "");
        EXPECT_EQ(s.EntriesWritten(), 3);
    }
    EXPECT_EQ(test::readText(dir.file("v.srt")),
              "1\r\n00:00:00,000 --> 00:00:05,000\r\nx\r\ny\r\n\r\n"
              "2\r\n00:00:05,000 --> 00:00:10,000\r\nx\r\nz\r\n\r\n"
              "3\r\n00:00:16,000 --> 00:00:18,000\r\n \r\n10:00:00\r\n\r\n");
}

TEST(ScnConversions, TextFromScnFileAndDamagedFile) {
    TempDir dir;
    {
        ScnWriter w(dir.file("v.avi"), ScnVariant::Wide);
        w.AddScene("first", 250);
        w.AddScene("", 400);
    }
    ASSERT_TRUE(ScnToText(dir.file("v.scn"), context25()));
    EXPECT_EQ(test::readText(dir.file("v_scn.txt")),
              header(dir.file("v.scn"), false) +
                  "  1, 00.00.00.00, 00.00.10.00, 00.00.10.00, first\r\n"
                  "  2, 00.00.10.00, 00.00.16.00, 00.00.06.00, "
                  "Scene 2: [00.00.10.00] | Duration = 06.00\r\n" +
                  kFooter);

    std::vector<std::uint8_t> damaged = test::readBytes(dir.file("v.scn"));
    damaged.resize(damaged.size() - 3);
    test::writeBytes(dir.file("d.scn"), damaged);
    EXPECT_FALSE(ScnToText(dir.file("d.scn"), context25()));
    EXPECT_FALSE(ScnToSpreadsheet(dir.file("d.scn"), dir.file("d.avi"), context25()));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"d.scn", "v.scn", "v_scn.txt"}));
}

// The text of one part of a workbook, or no value when unzip is missing.
std::optional<std::string> workbookPart(const std::string& xlsx, const std::string& part) {
    if (!kelvor::test::ToolAvailable("unzip"))
        return std::nullopt;
    const auto r = kelvor::test::RunProcess({"unzip", "-p", xlsx, part});
    if (r.exitCode != 0)
        return std::string();
    return r.out;
}

// The value of a cell in sheet1.xml, shared strings resolved.
std::string cellText(const std::string& sheet, const std::vector<std::string>& strings,
                     const std::string& ref) {
    const std::size_t at = sheet.find("<c r=\"" + ref + "\"");
    if (at == std::string::npos)
        return "<none>";
    const std::size_t end = sheet.find("</c>", at);
    const std::size_t close = sheet.find("/>", at);
    if (close < end && close < sheet.find('>', at) + 1)
        return "<blank>";
    const std::string cell = sheet.substr(at, end - at);
    const std::size_t v = cell.find("<v>");
    if (v == std::string::npos)
        return "<blank>";
    const std::string value = cell.substr(v + 3, cell.find("</v>") - v - 3);
    if (cell.find("t=\"s\"") != std::string::npos)
        return strings.at(std::stoul(value));
    return value;
}

std::vector<std::string> sharedStrings(const std::string& xml) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while ((pos = xml.find("<t", pos)) != std::string::npos) {
        const std::size_t start = xml.find('>', pos) + 1;
        const std::size_t end = xml.find("</t>", start);
        out.push_back(xml.substr(start, end - start));
        pos = end;
    }
    return out;
}

// The style index of a cell ("s" attribute).
std::string cellStyle(const std::string& sheet, const std::string& ref) {
    const std::size_t at = sheet.find("<c r=\"" + ref + "\"");
    if (at == std::string::npos)
        return "";
    const std::string tag = sheet.substr(at, sheet.find('>', at) - at);
    const std::size_t s = tag.find(" s=\"");
    return s == std::string::npos ? "" : tag.substr(s + 4, tag.find('"', s + 4) - s - 4);
}

TEST(Spreadsheet, PlainWorkbookHoldsCellsColoursAndFooter) {
    TempDir dir;
    {
        SpreadsheetWriter x(dir.file("Trip.avi"), context25());
        EXPECT_EQ(x.FileName(), dir.file("Trip.xlsx"));
        x.AddSceneRow("one", 250);
        x.AddSceneRow("", 400);
        x.AddSceneRow("a | b", 500);
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"Trip.xlsx"});
    const auto sheet = workbookPart(dir.file("Trip.xlsx"), "xl/worksheets/sheet1.xml");
    if (!sheet)
        GTEST_SKIP() << "unzip is not installed";
    const auto strings =
        sharedStrings(*workbookPart(dir.file("Trip.xlsx"), "xl/sharedStrings.xml"));
    const auto styles = *workbookPart(dir.file("Trip.xlsx"), "xl/styles.xml");

    EXPECT_EQ(cellText(*sheet, strings, "A3"), "List of scenes of the video file:");
    EXPECT_EQ(cellText(*sheet, strings, "A4"), lowerCase(dir.file("trip.avi")));
    EXPECT_EQ(cellText(*sheet, strings, "A5"),
              "exported by Kelvor version " + about::VersionText() + " En");
    const char* titles[] = {"Number", "Start", "End", "Duration", "Caption"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(cellText(*sheet, strings, std::string(1, char('B' + i)) + "7"), titles[i]);
    EXPECT_EQ(cellText(*sheet, strings, "B8"), "1");
    EXPECT_EQ(cellText(*sheet, strings, "C9"), "00.00.10.00");
    EXPECT_EQ(cellText(*sheet, strings, "D9"), "00.00.16.00");
    EXPECT_EQ(cellText(*sheet, strings, "E9"), "00.00.06.00");
    EXPECT_EQ(cellText(*sheet, strings, "F8"), "one");
    EXPECT_EQ(cellText(*sheet, strings, "F9"), "<blank>");
    EXPECT_EQ(cellText(*sheet, strings, "F10"), "a | b");
    EXPECT_EQ(cellText(*sheet, strings, "A12"),
              "Terminated at Friday, December 25, 2026 at 13:05:09");
    EXPECT_EQ(cellText(*sheet, strings, "A13"), "Visit my web site https://quennel.example/kelvor");
    EXPECT_EQ(cellText(*sheet, strings, "B11"), "<none>");

    // Each column keeps one background from row 8 to 10: B yellow, then silver and white.
    for (char col = 'B'; col <= 'F'; ++col)
        for (int row = 9; row <= 10; ++row)
            EXPECT_EQ(cellStyle(*sheet, std::string(1, col) + std::to_string(row)),
                      cellStyle(*sheet, std::string(1, col) + "8"));
    EXPECT_NE(cellStyle(*sheet, "B8"), cellStyle(*sheet, "C8"));
    EXPECT_NE(cellStyle(*sheet, "C8"), cellStyle(*sheet, "D8"));
    EXPECT_EQ(cellStyle(*sheet, "C8"), cellStyle(*sheet, "E8"));
    EXPECT_EQ(cellStyle(*sheet, "D8"), cellStyle(*sheet, "F8"));
    EXPECT_NE(styles.find("FFFFFF00"), std::string::npos);  // yellow
    EXPECT_NE(styles.find("FFC0C0C0"), std::string::npos);  // silver
    EXPECT_NE(styles.find("FF0000FF"), std::string::npos);  // the blue of the header fonts
    EXPECT_NE(sheet->find("<col min=\"2\" max=\"2\""), std::string::npos);
    EXPECT_NE(sheet->find("<col min=\"6\" max=\"6\""), std::string::npos);
}

TEST(Spreadsheet, ExtendedWorkbookHasDatecodeAndTimecodeColumns) {
    TempDir dir;
    {
        DatedSpreadsheetWriter x(dir.file("v.avi"), context25());
        x.AddSceneRow(250, "", "3/15/2004 10:00:00", "0:00:01:02");
    }
    const auto sheet = workbookPart(dir.file("v.xlsx"), "xl/worksheets/sheet1.xml");
    if (!sheet)
        GTEST_SKIP() << "unzip is not installed";
    const auto strings = sharedStrings(*workbookPart(dir.file("v.xlsx"), "xl/sharedStrings.xml"));
    EXPECT_EQ(cellText(*sheet, strings, "E7"), "Datecode");
    EXPECT_EQ(cellText(*sheet, strings, "F7"), "Timecode");
    EXPECT_EQ(cellText(*sheet, strings, "H7"), "Caption");
    EXPECT_EQ(cellText(*sheet, strings, "E8"), "3/15/2004 10:00:00");
    EXPECT_EQ(cellText(*sheet, strings, "F8"), "0:00:01:02");
    EXPECT_EQ(cellText(*sheet, strings, "G8"), "00.00.10.00");
    EXPECT_EQ(cellText(*sheet, strings, "H8"), "<blank>");
    EXPECT_EQ(cellText(*sheet, strings, "A10"),
              "Terminated at Friday, December 25, 2026 at 13:05:09");
}

TEST(Spreadsheet, ScnToSpreadsheetAndUnwritableTarget) {
    TempDir dir;
    {
        ScnWriter w(dir.file("v.avi"), ScnVariant::Narrow);
        w.AddScene("first", 250);
    }
    EXPECT_TRUE(ScnToSpreadsheet(dir.file("v.scn"), dir.file("book.avi"), context25()));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"book.xlsx", "v.scn"}));
    EXPECT_FALSE(ScnToSpreadsheet(dir.file("v.scn"), dir.file("none/book.avi"), context25()));
    DatedSpreadsheetWriter lost(dir.file("none/v.avi"), context25());
    EXPECT_FALSE(lost.Good());
}

}  // namespace
}  // namespace kelvor::scenes

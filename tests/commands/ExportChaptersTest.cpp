// The chapter files of real DV videos (PAL type 2 with an scn file, NTSC raw DV by date through
// damaged frames), each read back by an independent reader: ffprobe for FFmpeg's metadata file,
// Qt's XML reader for the Matroska chapters, our own parse of the WebVTT cues and a pattern for
// the edit list; every chapter lands on its frame.
#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <regex>

#include "commands/CommandsTestSupport.h"
#include "commands/ExportChapters.h"
#include "core/scenes/ScnFile.h"
#include "support/Tools.h"

namespace kelvor::commands {
namespace {

using scenes::ChapterFormat;
using test::Commands;

struct Read {
    std::int64_t First = 0;  // frames
    std::int64_t End = 0;
    std::string Title;
};

constexpr const char* kNtscByDate =
    "type=raw standard=ntsc frames=30 date=2024-07-14T10:00:00; frames=40 "
    "date=2024-07-14T11:00:00; frames=3 fault=ff; frames=10 fault=none";

std::string Export(Commands& c, const std::string& video, ChapterFormat format) {
    c.host.outcomes.clear();
    c.list.Clear();
    c.select({video});
    c.run(ExportChaptersCommand(c.commandModule, format));
    EXPECT_EQ(c.host.outcomes.size(), 1u);
    if (c.host.outcomes.empty())
        return {};
    EXPECT_TRUE(c.host.outcomes[0].second.Succeeded()) << c.host.outcomes[0].second.Failure;
    return c.host.outcomes[0].second.NewPath;
}

// Seconds (as text with a fraction) to frames at num/den frames a second, to the nearest.
std::int64_t Frames(double seconds, double num, double den) {
    return std::llround(seconds * num / den);
}

std::vector<Read> WebVttCues(const std::string& text, double num, double den) {
    std::vector<Read> out;
    const std::regex cue(
        R"((\d\d):(\d\d):(\d\d)\.(\d{3}) --> (\d\d):(\d\d):(\d\d)\.(\d{3})\n([^\n]*)\n)");
    EXPECT_EQ(text.rfind("WEBVTT\n", 0), 0u);
    for (std::sregex_iterator it(text.begin(), text.end(), cue), end; it != end; ++it) {
        const auto& m = *it;
        const auto secs = [&](int at) {
            return std::stoi(m[at]) * 3600.0 + std::stoi(m[at + 1]) * 60.0 + std::stoi(m[at + 2]) +
                   std::stoi(m[at + 3]) / 1000.0;
        };
        out.push_back({Frames(secs(1), num, den), Frames(secs(5), num, den), m[9]});
    }
    return out;
}

std::vector<Read> XmlChapters(const std::string& text, double num, double den) {
    std::vector<Read> out;
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    const auto secs = [](const QString& t) {
        const QStringList p = t.split(':');
        return p.size() == 3 ? p[0].toDouble() * 3600 + p[1].toDouble() * 60 + p[2].toDouble()
                             : -1.0;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"ChapterAtom")
            out.emplace_back();
        else if (xml.name() == u"ChapterTimeStart" && !out.empty())
            out.back().First = Frames(secs(xml.readElementText()), num, den);
        else if (xml.name() == u"ChapterTimeEnd" && !out.empty())
            out.back().End = Frames(secs(xml.readElementText()), num, den);
        else if (xml.name() == u"ChapterString" && !out.empty())
            out.back().Title = xml.readElementText().toStdString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return out;
}

// Events, with each event's comments.
std::vector<Read> EdlEvents(const std::string& text, int fps, std::vector<std::string>& recorded) {
    std::vector<Read> out;
    const std::regex event(
        R"((\d{3})  AX +V +C +(\d\d):(\d\d):(\d\d):(\d\d) (\d\d):(\d\d):(\d\d):(\d\d) \S+ \S+\n)");
    const std::regex comment(R"(\* COMMENT: ([^\n]*)\n)");
    const std::regex date(R"(\* RECORDED: ([^\n]*)\n)");
    EXPECT_NE(text.find("FCM: NON-DROP FRAME\n"), std::string::npos);
    const auto frames = [&](const std::smatch& m, int at) {
        return ((std::stoll(m[at]) * 60 + std::stoll(m[at + 1])) * 60 + std::stoll(m[at + 2])) *
                   fps +
               std::stoll(m[at + 3]);
    };
    for (std::sregex_iterator it(text.begin(), text.end(), event), end; it != end; ++it)
        out.push_back({frames(*it, 2), frames(*it, 6), {}});
    std::size_t i = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), comment), end; it != end; ++it, ++i)
        if (i < out.size())
            out[i].Title = (*it)[1];
    for (std::sregex_iterator it(text.begin(), text.end(), date), end; it != end; ++it)
        recorded.push_back((*it)[1]);
    return out;
}

void ExpectChapters(const std::vector<Read>& got, const std::vector<Read>& want,
                    const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].First, want[i].First) << what << " chapter " << i;
        EXPECT_EQ(got[i].End, want[i].End) << what << " chapter " << i;
        EXPECT_EQ(got[i].Title.rfind(want[i].Title, 0), 0u) << what << ": " << got[i].Title;
    }
}

TEST(ExportChapters, NtscScenesByDateLandOnTheirFramesInEveryFormat) {
    Commands c;
    const std::string video = c.make("tape.dv", kNtscByDate);
    const std::vector<Read> want = {{0, 30, "Scene 1: 7/14/2024 10:00:00"},
                                    {30, 70, "Scene 2: 7/14/2024 11:00:00"},
                                    {70, 83, "Scene 3:"}};

    const std::string vtt = Export(c, video, ChapterFormat::WebVtt);
    EXPECT_EQ(vtt, c.path("tape.chapters.vtt"));
    ExpectChapters(WebVttCues(kelvor::test::ReadFile(vtt), 30000, 1001), want, "webvtt");

    const std::string xml = Export(c, video, ChapterFormat::MkvXml);
    ExpectChapters(XmlChapters(kelvor::test::ReadFile(xml), 30000, 1001), want, "mkvxml");

    std::vector<std::string> recorded;
    const std::string edl = Export(c, video, ChapterFormat::Edl);
    // Non-drop timecode counts 30 frames to the second.
    ExpectChapters(EdlEvents(kelvor::test::ReadFile(edl), 30, recorded), want, "edl");
    EXPECT_EQ(recorded, (std::vector<std::string>{"2024-07-14 10:00:00", "2024-07-14 11:00:00",
                                                  "2024-07-14 11:00:01"}));

    const std::string meta = Export(c, video, ChapterFormat::FfMetadata);
    if (!kelvor::test::ToolAvailable("ffprobe"))
        GTEST_SKIP() << "ffprobe is not installed";
    const auto probe = kelvor::test::RunTool({"ffprobe", "-v", "error", "-f", "ffmetadata", "-i",
                                              meta, "-show_chapters", "-of", "csv=p=0"},
                                             c.dir.path());
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    // id, time base, start, start time, end, end time, title, recording date.
    EXPECT_NE(probe.out.find("1001/30000,30,1.001000,70,2.335667,Scene 2: 7/14/2024 11:00:00 | "
                             "Duration = 01.10,2024-07-14 11:00:00"),
              std::string::npos)
        << probe.out;
    EXPECT_NE(probe.out.find("1001/30000,70,2.335667,83,2.769433,"), std::string::npos)
        << probe.out;
}

TEST(ExportChapters, PalChaptersFollowTheScnFile) {
    Commands c;
    const std::string video =
        c.make("holiday.avi", "type=2 frames=50 date=2024-07-14T10:00:00; frames=25");
    {
        scenes::ScnWriter w(video, scenes::ScnVariant::Narrow);
        w.AddScene("Beach; \"sun\" & <sea> = fun", 12);
        w.AddScene("Dinner", 75);
        ASSERT_TRUE(w.Close());
    }
    c.prefs.SaveInSameFolder = true;
    // The list re-reads the record, which now has its scn file.
    const std::string xml = Export(c, video, ChapterFormat::MkvXml);
    ExpectChapters(XmlChapters(kelvor::test::ReadFile(xml), 25, 1),
                   {{0, 12, "Beach; \"sun\" & <sea> = fun"}, {12, 75, "Dinner"}}, "mkvxml");
    const std::string vtt = Export(c, video, ChapterFormat::WebVtt);
    ExpectChapters(WebVttCues(kelvor::test::ReadFile(vtt), 25, 1),
                   {{0, 12, "Beach"}, {12, 75, "Dinner"}}, "webvtt");
    const std::string meta = Export(c, video, ChapterFormat::FfMetadata);
    if (!kelvor::test::ToolAvailable("ffprobe"))
        GTEST_SKIP() << "ffprobe is not installed";
    const auto probe = kelvor::test::RunTool({"ffprobe", "-v", "error", "-f", "ffmetadata", "-i",
                                              meta, "-show_chapters", "-of", "csv=p=0"},
                                             c.dir.path());
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    // The escaped characters of the title come back as they were.
    EXPECT_NE(probe.out.find("1/25,0,0.000000,12,0.480000,\"Beach; \"\"sun\"\" & <sea> = fun\""),
              std::string::npos)
        << probe.out;
}

}  // namespace
}  // namespace kelvor::commands

// kelvor-cli as a Linux user expects it: every verb answers --help, --version names the
// program, the exit statuses 0/1/2/3 on real files, the JSON output checked against the shape
// docs/json-schema.md documents, an error object for each kind of unreadable file, and no
// progress output when stderr is not a terminal unless asked for.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/RunCli.h"
#include "commands/CommandModule.h"
#include "core/shell/About.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

// The verbs `kelvor-cli --help` lists: the first word of each indented line of its verb lists.
std::vector<std::string> ListedVerbs(const std::string& help) {
    std::vector<std::string> verbs;
    std::istringstream in(help);
    std::string line;
    bool inList = false;
    while (std::getline(in, line)) {
        if (line.ends_with(":") && line.find("verbs") != std::string::npos) {
            inList = true;
            continue;
        }
        if (line.empty() || line.rfind("  ", 0) != 0) {
            inList = false;
            continue;
        }
        if (!inList)
            continue;
        // Aliases follow the name on the same line: "fix-frame-rate, fix-fps".
        std::istringstream words(line);
        std::string word;
        bool more = true;
        while (more && words >> word) {
            more = word.back() == ',';
            if (more)
                word.pop_back();
            verbs.push_back(word);
        }
    }
    return verbs;
}

std::string SourceFile(const char* relative) {
    std::ifstream in(fs::path(KELVOR_SOURCE_DIR) / relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CliHelp, EveryVerbHasHelpAndIsDocumented) {
    test::TempDir dir;
    const auto help = test::RunCli(dir, {"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const std::vector<std::string> verbs = ListedVerbs(help.out);
    // The program's own verbs, one per command of the table and the two short names.
    EXPECT_EQ(verbs.size(), 11 + commands::CommandTable().size() + 2) << help.out;
    for (const char* named : {"add-datecode", "to-type2", "to-ntsc", "scenes-by-date", "cut-scenes",
                              "extract-audio", "shift-time", "fix-frame-rate", "fix-codec",
                              "fix-fps", "recompress", "scenes", "info", "script", "do"})
        EXPECT_NE(std::find(verbs.begin(), verbs.end(), named), verbs.end()) << named;
    const std::string manPage = SourceFile("docs/man/kelvor-cli.1");
    const std::string completion = SourceFile("data/bash-completion/kelvor-cli");
    for (const std::string& verb : verbs) {
        const auto own = test::RunCli(dir, {verb, "--help"});
        EXPECT_EQ(own.exitCode, 0) << verb;
        // A short name's help is its command's, and says it is also named so.
        EXPECT_TRUE(own.out.find("usage: kelvor-cli " + verb + " ") != std::string::npos ||
                    own.out.find("also named: " + verb + "\n") != std::string::npos)
            << own.out;
        EXPECT_NE(own.out.find("exit status:"), std::string::npos) << verb;
        const auto asked = test::RunCli(dir, {"help", verb});
        EXPECT_EQ(asked.exitCode, 0) << verb;
        EXPECT_EQ(asked.out, own.out) << verb;
        // The man page writes dashes as \-.
        std::string roff;
        for (const char c : verb)
            roff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(manPage.find(".B " + roff), std::string::npos) << verb << " in the man page";
        EXPECT_NE(completion.find(" " + verb + " "), std::string::npos) << verb << " completed";
    }
    // The short name, and the options of a command named for it.
    const auto fps = test::RunCli(dir, {"fix-fps", "--help"});
    EXPECT_EQ(fps.exitCode, 0);
    EXPECT_NE(fps.out.find("--fps N"), std::string::npos) << fps.out;
    EXPECT_NE(test::RunCli(dir, {"shift-time", "--help"}).out.find("--by [-]H:MM[:SS]"),
              std::string::npos);
    EXPECT_NE(test::RunCli(dir, {"to-ntsc", "--help"}).out.find("--output-dir DIR"),
              std::string::npos);

    const auto version = test::RunCli(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("kelvor-cli (") + about::kProductName + ") " +
                               about::VersionText() + "\n");
    EXPECT_EQ(test::RunCli(dir, {"help", "no-such-verb"}).exitCode, 2);
    EXPECT_EQ(test::RunCli(dir, {}).exitCode, 2);
}

class CliStatuses : public ::testing::Test {
  protected:
    std::string make(const std::string& name, const std::string& description) {
        std::string error;
        fs::create_directories((dir / name).parent_path());
        EXPECT_TRUE(fixtures::WriteDvFile((dir / name).string(), description, error)) << error;
        return (dir / name).string();
    }
    test::ProcessResult cli(std::vector<std::string> args) {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    static QJsonObject parse(const std::string& out) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << out;
        EXPECT_TRUE(doc.isObject()) << out;
        const QJsonObject top = doc.object();
        EXPECT_EQ(top.value("schema").toInt(), 1) << out;
        return top;
    }

    test::TempDir dir;
};

TEST_F(CliStatuses, ExitStatusesOnRealFiles) {
    make("dated.avi", "type=1 frames=5 date=2006-03-12T15:46:37");
    make("undated.avi", "type=1 frames=5 date=none");
    make("two.avi", "type=2 frames=5 date=2006-03-12T15:46:37");
    test::WriteFile(dir / "notes.avi", "only text\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // a part of stderr
    } cases[] = {
        {{"to-type2", "dated.avi"}, 0, ""},
        // One done, one passed over: done, with the other named.
        {{"to-type1", "two.avi", "dated.avi"}, 0, "dated.avi: skipped: not a DV type 2 file"},
        {{"to-ntsc", "missing.avi"}, 1, "missing.avi: not loaded"},
        {{"info", "notes.avi"}, 1, "notes.avi: not a video"},
        {{"add-datecode", "undated.avi"}, 3, "undated.avi: skipped: no datecode"},
        {{"set-file-date", "notes.avi"}, 3, "notes.avi: skipped: no datecode"},
        {{"to-type1", "dated.avi"}, 3, "skipped: not a DV type 2 file"},
        {{"to-type2", "--no-to-all", "dated.avi"}, 3, "not done, not confirmed"},
        {{"no-such-verb"}, 2, "unknown verb"},
        {{"info", "--bogus", "dated.avi"}, 2, "unknown option --bogus"},
        {{"to-ntsc"}, 2, "no file given"},
        {{"shift-time", "dated.avi"}, 2, "shift-time needs --by"},
        {{"shift-time", "--by", "1:xx", "dated.avi"}, 2, "--by takes a time difference"},
        {{"shift-time", "--by", "1:00", "--days", "1", "dated.avi"}, 2, "exclude each other"},
        {{"fix-fps", "dated.avi"}, 2, "fix-frame-rate needs --fps"},
        {{"fix-codec", "dated.avi"}, 2, "fix-codec needs --fourcc"},
        {{"to-ntsc", "--yes-to-all", "--no-to-all", "dated.avi"}, 2, "exclude each other"},
        {{"to-ntsc", "--output-dir", "nowhere", "dated.avi"}, 2, "nowhere: not a folder"},
        {{"to-ntsc", "--fps", "25", "dated.avi"}, 2, "unknown option --fps"},
        {{"do", "ToNtsc", "--fps", "25", "dated.avi"}, 2, "--fps is not an option of ToNtsc"},
        {{"riff-report", "--dry-run", "dated.avi"}, 2, "unknown option --dry-run"},
    };
    for (const auto& c : cases) {
        const auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.args.front() << " " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args.front() << ": " << r.err;
    }
}

TEST_F(CliStatuses, CommandOptionsAndOutputFolder) {
    make("clip.avi", "type=2 frames=10 date=2004-07-14T10:00:00");
    fs::create_directory(dir / "out");
    // A dry run names the file and writes nothing.
    auto dry = cli({"to-ntsc", "--dry-run", "clip.avi", "--output-dir", "out"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(dry.out, (dir / "clip.avi").string() + "\n");
    EXPECT_TRUE(fs::is_empty(dir / "out"));

    auto ntsc = cli({"to-ntsc", "--output-dir", "out", "clip.avi"});
    EXPECT_EQ(ntsc.exitCode, 0) << ntsc.err;
    auto shift = cli({"shift-time", "--by", "1:00:00", "--output-dir", "out/", "clip.avi"});
    EXPECT_EQ(shift.exitCode, 0) << shift.err;
    auto wav = cli({"do", "extract-audio", "--output-dir", (dir / "out").string(), "clip.avi"});
    EXPECT_EQ(wav.exitCode, 0) << wav.err;
    std::vector<std::string> out;
    // A script's conversions too.
    auto script = cli({"script", "--output-dir", "out", "clip.avi", "+1"});
    EXPECT_EQ(script.exitCode, 0) << script.err;
    for (const auto& e : fs::directory_iterator(dir / "out"))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    EXPECT_EQ(out, (std::vector<std::string>{"clip.wav", "clip_(+1h).avi", "clip_ntsc.avi",
                                             "clip_type1.avi"}));
    EXPECT_FALSE(fs::exists(dir / "clip_ntsc.avi"));
    // The shifted copy carries the new date.
    auto info = cli({"info", "--json", "out/clip_(+1h).avi"});
    EXPECT_EQ(parse(info.out)["files"].toArray()[0].toObject()["recorded"].toString(),
              "2004-07-14T11:00:00");
    // The old names of do keep working, in any case and in kebab case.
    for (const char* name : {"fixframerate", "fix-fps", "CorrigerFps", "y"}) {
        auto fps = cli({"do", name, "--fps", "25", "--yes-to-all", "clip.avi"});
        EXPECT_EQ(fps.exitCode, 0) << name << fps.err;
    }
    auto codec = cli({"fix-codec", "--fourcc", "dvsd", "--yes-to-all", "clip.avi"});
    EXPECT_EQ(codec.exitCode, 0) << codec.err;
}

// Every key of an object with the type docs/json-schema.md gives it; "null" allowed where it
// says so.
using Shape = std::map<std::string, std::vector<QJsonValue::Type>>;
void ExpectShape(const QJsonObject& o, const Shape& shape, const std::string& what) {
    std::vector<std::string> keys;
    for (const QString& k : o.keys())
        keys.push_back(k.toStdString());
    std::vector<std::string> expected;
    for (const auto& [k, types] : shape)
        expected.push_back(k);
    EXPECT_EQ(keys, expected) << what;
    for (const auto& [k, types] : shape) {
        const QJsonValue::Type t = o.value(QString::fromStdString(k)).type();
        EXPECT_NE(std::find(types.begin(), types.end(), t), types.end())
            << what << "." << k << " has type " << t;
    }
}

constexpr auto S = QJsonValue::String;
constexpr auto N = QJsonValue::Double;
constexpr auto B = QJsonValue::Bool;
constexpr auto O = QJsonValue::Object;
constexpr auto Z = QJsonValue::Null;

TEST_F(CliStatuses, InfoJsonFollowsTheSchema) {
    make("clip.avi", "type=2 frames=50 date=2006-03-12T15:46:37 tc=00:01:00:00");
    make("ntsc.avi", "type=1 standard=ntsc aspect=16:9 frames=30 date=none");
    ASSERT_EQ(cli({"scenes", "clip.avi"}).exitCode, 0);
    auto r = cli({"info", "--json", "clip.avi", "ntsc.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QJsonObject top = parse(r.out);
    ExpectShape(top, {{"schema", {N}}, {"files", {QJsonValue::Array}}}, "top");
    const QJsonArray files = top["files"].toArray();
    ASSERT_EQ(files.size(), 2);
    const Shape record = {
        {"file", {S}},        {"name", {S}},        {"size", {N}},        {"modified", {S}},
        {"recorded", {S, Z}}, {"timecode", {S, Z}}, {"codec", {S, Z}},    {"container", {S}},
        {"dvType", {N}},      {"interleaved", {B}}, {"standard", {S, Z}}, {"aspect", {S}},
        {"video", {O}},       {"audio", {O, Z}},    {"scenes", {O}},
    };
    const Shape video = {{"width", {N}}, {"height", {N}}, {"frameRate", {S}},
                         {"fps", {N}},   {"frames", {N}}, {"duration", {N}}};
    const Shape audio = {{"sampleRate", {N}}, {"bits", {N}}, {"channels", {N}}};
    const Shape scenes = {{"scn", {B}}, {"count", {N, Z}}, {"srt", {B}}};
    for (const QJsonValue& f : files) {
        const QJsonObject o = f.toObject();
        ExpectShape(o, record, "record");
        ExpectShape(o["video"].toObject(), video, "video");
        ExpectShape(o["audio"].toObject(), audio, "audio");
        ExpectShape(o["scenes"].toObject(), scenes, "scenes");
    }
    const QJsonObject pal = files[0].toObject();
    EXPECT_EQ(pal["file"].toString().toStdString(), (dir / "clip.avi").string());
    EXPECT_EQ(pal["size"].toInteger(), static_cast<qint64>(fs::file_size(dir / "clip.avi")));
    EXPECT_EQ(pal["recorded"].toString(), "2006-03-12T15:46:37");
    EXPECT_EQ(pal["timecode"].toString(), "00:01:00:00");
    EXPECT_EQ(pal["standard"].toString(), "PAL");
    EXPECT_EQ(pal["aspect"].toString(), "4:3");
    EXPECT_EQ(pal["dvType"].toInt(), 2);
    EXPECT_EQ(pal["container"].toString(), "avi");
    EXPECT_EQ(pal["video"]["height"].toInt(), 576);
    EXPECT_EQ(pal["video"]["width"].toInt(), 720);
    EXPECT_EQ(pal["video"]["frameRate"].toString(), "25/1");
    EXPECT_EQ(pal["video"]["frames"].toInt(), 50);
    EXPECT_DOUBLE_EQ(pal["video"]["duration"].toDouble(), 2.0);
    EXPECT_EQ(pal["audio"]["channels"].toInt(), 2);
    EXPECT_EQ(pal["scenes"]["count"].toInt(), 1);
    const QJsonObject ntsc = files[1].toObject();
    EXPECT_TRUE(ntsc["recorded"].isNull());
    EXPECT_EQ(ntsc["standard"].toString(), "NTSC");
    EXPECT_EQ(ntsc["aspect"].toString(), "16:9");
    EXPECT_EQ(ntsc["video"]["height"].toInt(), 480);
    EXPECT_EQ(ntsc["video"]["frameRate"].toString(), "30000/1001");
    EXPECT_NEAR(ntsc["video"]["fps"].toDouble(), 29.97, 0.001);
    EXPECT_TRUE(ntsc["scenes"]["count"].isNull());
}

TEST_F(CliStatuses, InfoGivesAnErrorObjectForEachBadInput) {
    test::WriteFile(dir / "notes.avi", "only text\n");
    test::WriteFile(dir / "locked.avi", "x");
    ASSERT_EQ(::chmod((dir / "locked.avi").c_str(), 0), 0);
    fs::create_directory(dir / "folder.avi");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.avi", "the file is not found"},
        {"notes.avi", "not a video"},
        {"folder.avi", "not a regular file"},
    };
    if (::geteuid() != 0)
        cases.emplace_back("locked.avi", "Permission denied");
    if (test::ToolAvailable("ffmpeg")) {
        ASSERT_EQ(test::RunTool(
                      {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                       "testsrc=size=320x240:rate=25", "-t", "0.4", "-c:v", "mjpeg", "mjpeg.avi"},
                      dir.path())
                      .exitCode,
                  0);
        cases.emplace_back("mjpeg.avi", "not a DV video (codec MJPG)");
    }
    for (const auto& [file, why] : cases) {
        auto r = cli({"info", "--json", file});
        EXPECT_EQ(r.exitCode, 1) << file;
        EXPECT_NE(r.err.find(file + ": " + why), std::string::npos) << r.err;
        const QJsonArray files = parse(r.out)["files"].toArray();
        ASSERT_EQ(files.size(), 1) << file;
        ExpectShape(files[0].toObject(), {{"error", {S}}, {"file", {S}}}, file);
        EXPECT_EQ(files[0]["file"].toString().toStdString(), file);
        EXPECT_TRUE(files[0]["error"].toString().startsWith(QString::fromStdString(why)))
            << files[0]["error"].toString().toStdString();
        // The panel prints nothing for it either.
        auto text = cli({"info", file});
        EXPECT_EQ(text.exitCode, 1);
        EXPECT_EQ(text.out, "");
    }
}

TEST_F(CliStatuses, TheCommandReportFollowsTheSchema) {
    make("a.avi", "type=1 frames=5 date=2006-03-12T15:46:37");
    make("b.avi", "type=2 frames=5 date=2006-03-12T15:46:37");
    auto r = cli({"to-type2", "--json", "a.avi", "b.avi", "missing.avi"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const QJsonObject top = parse(r.out);
    ExpectShape(
        top,
        {{"schema", {N}}, {"files", {QJsonValue::Array}}, {"summary", {O}}, {"exitStatus", {N}}},
        "report");
    ExpectShape(top["summary"].toObject(), {{"done", {N}}, {"failed", {N}}, {"skipped", {N}}},
                "summary");
    EXPECT_EQ(top["exitStatus"].toInt(), 1);
    const Shape entry = {{"command", {S, Z}}, {"file", {S}},      {"newPath", {S, Z}},
                         {"partial", {B}},    {"reason", {S, Z}}, {"status", {S}},
                         {"update", {S}},     {"verb", {S, Z}}};
    std::map<std::string, QJsonObject> byFile;
    for (const QJsonValue& v : top["files"].toArray()) {
        ExpectShape(v.toObject(), entry, "entry");
        byFile[fs::path(v["file"].toString().toStdString()).filename().string()] = v.toObject();
    }
    ASSERT_EQ(byFile.size(), 3u) << r.out;
    EXPECT_EQ(byFile["a.avi"]["status"].toString(), "done");
    EXPECT_EQ(byFile["a.avi"]["update"].toString(), "add");
    EXPECT_EQ(byFile["a.avi"]["verb"].toString(), "to-type2");
    EXPECT_EQ(byFile["a.avi"]["newPath"].toString().toStdString(), (dir / "a_type2.avi").string());
    EXPECT_EQ(byFile["b.avi"]["status"].toString(), "skipped");
    EXPECT_EQ(byFile["b.avi"]["reason"].toString(), "not a DV type 1 file with the codec dvsd");
    EXPECT_EQ(byFile["missing.avi"]["status"].toString(), "failed");
    EXPECT_TRUE(byFile["missing.avi"]["command"].isNull());

    // Declined: the question answered no for every file is nothing done.
    auto declined = cli({"to-type2", "--json", "--no-to-all", "a.avi"});
    EXPECT_EQ(declined.exitCode, 3);
    const QJsonObject d = parse(declined.out)["files"].toArray()[0].toObject();
    EXPECT_EQ(d["status"].toString(), "skipped");
    EXPECT_TRUE(d["reason"].toString().startsWith("declined: "))
        << d["reason"].toString().toStdString();
}

TEST_F(CliStatuses, NoProgressWithoutATerminalUnlessAsked) {
    make("clip.avi", "type=1 frames=100 picture=moving date=2004-07-14T10:00:00");
    auto quiet = cli({"to-type2", "clip.avi"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "");
    auto plain = cli({"to-type2", "--progress", "--yes-to-all", "clip.avi"});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.err.find('\r'), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find("kelvor-cli to-type2: clip.avi: 0%"), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find("% "), std::string::npos);
    EXPECT_NE(plain.err.find(" left\n"), std::string::npos) << plain.err;
}

}  // namespace
}  // namespace kelvor

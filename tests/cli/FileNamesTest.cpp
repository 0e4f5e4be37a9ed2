// Names a Linux folder may hold but that a terminal line or a JSON string cannot show as they
// are: a byte that is not UTF-8, a newline. Every verb processes the real file, shows the name
// escaped in its text and gives its exact bytes in its JSON report.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

const std::string kBadByte = "clip\xff.avi";
const std::string kNewline = "two\nlines.avi";
const std::string kAccented = "\xc3\xa9t\xc3\xa9.avi";  // "été.avi", valid UTF-8

class FileNames : public ::testing::Test {
  protected:
    void make(const std::string& name, const std::string& description) {
        std::string error;
        ASSERT_TRUE(fixtures::WriteDvFile((dir / name).string(), description, error)) << error;
    }
    test::ProcessResult cli(std::vector<std::string> args) const {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    static QJsonObject parse(const std::string& out) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
    // The name a report entry gives under key: its exact bytes when it has them, else the text.
    static std::string name(const QJsonObject& o, const QString& key) {
        if (o.contains(key + "Bytes"))
            return QByteArray::fromBase64(o[key + "Bytes"].toString().toLatin1()).toStdString();
        return o[key].toString().toStdString();
    }
    // The entry whose file (by its exact bytes) ends with the name.
    static QJsonObject entryFor(const QJsonObject& top, const std::string& file) {
        for (const QJsonValue& v : top["files"].toArray())
            if (name(v.toObject(), "file").ends_with("/" + file) ||
                name(v.toObject(), "file") == file)
                return v.toObject();
        return {};
    }
    static bool hasRawByte(const std::string& text) {
        return text.find('\xff') != std::string::npos;
    }

    test::TempDir dir;
};

TEST_F(FileNames, InfoShowsOddNamesEscapedAndReportsThemByteExact) {
    for (const std::string& n : {kBadByte, kNewline, kAccented})
        make(n, "type=1 frames=5 date=2006-03-12T15:46:37");
    auto text = cli({"info", kBadByte, kNewline, kAccented});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_FALSE(hasRawByte(text.out)) << text.out;
    EXPECT_NE(text.out.find("\"clip\\xff.avi\"\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\"two\\nlines.avi\"\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  File     : \"" + dir.path().string() + "/clip\\xff.avi\"\n"),
              std::string::npos)
        << text.out;
    // A valid UTF-8 name is shown as it is.
    EXPECT_NE(text.out.find("\n" + kAccented + "\n"), std::string::npos) << text.out;

    auto json = cli({"info", "--json", kBadByte, kNewline, kAccented});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const QJsonArray files = parse(json.out)["files"].toArray();
    ASSERT_EQ(files.size(), 3) << json.out;
    const QJsonObject bad = files[0].toObject(), newline = files[1].toObject(),
                      accented = files[2].toObject();
    EXPECT_EQ(name(bad, "file"), (dir / kBadByte).string());
    EXPECT_EQ(name(bad, "name"), kBadByte);
    EXPECT_TRUE(fs::exists(name(bad, "file")));
    // A name that is valid UTF-8, newline included, is the string itself and nothing more.
    for (const auto& [o, n] : {std::pair{newline, kNewline}, std::pair{accented, kAccented}}) {
        EXPECT_EQ(o["file"].toString().toStdString(), (dir / n).string());
        EXPECT_EQ(o["name"].toString().toStdString(), n);
        EXPECT_FALSE(o.contains("fileBytes"));
        EXPECT_FALSE(o.contains("nameBytes"));
    }

    // Files that cannot be shown are named the same way, on stderr and in the JSON.
    const std::string gone = "gone\xfe\n.avi";
    auto missing = cli({"info", "--json", gone});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "kelvor-cli info: \"gone\\xfe\\n.avi\": the file is not found\n");
    const QJsonObject error = parse(missing.out)["files"].toArray()[0].toObject();
    EXPECT_EQ(name(error, "file"), gone);
    EXPECT_EQ(error["error"].toString(), "the file is not found");
}

TEST_F(FileNames, CommandsProcessTheRealFileAndReportItsOutputByteExact) {
    for (const std::string& n : {kBadByte, kNewline})
        make(n, "type=1 frames=5 date=2006-03-12T15:46:37");
    auto r = cli({"to-type2", "--json", "--yes-to-all", kBadByte, kNewline});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QJsonObject top = parse(r.out);
    const QJsonObject bad = entryFor(top, kBadByte), newline = entryFor(top, kNewline);
    ASSERT_FALSE(bad.isEmpty()) << r.out;
    ASSERT_FALSE(newline.isEmpty()) << r.out;
    EXPECT_EQ(name(bad, "newPath"), (dir / "clip\xff_type2.avi").string());
    EXPECT_EQ(name(newline, "newPath"), (dir / "two\nlines_type2.avi").string());
    EXPECT_FALSE(newline.contains("newPathBytes"));
    for (const QJsonObject& o : {bad, newline}) {
        EXPECT_EQ(o["status"].toString(), "done");
        EXPECT_TRUE(fs::exists(name(o, "newPath"))) << name(o, "newPath");
    }

    // The scene list is written beside the real file, and a dry run names the outputs escaped
    // on one line each.
    auto scenes = cli({"scenes", "--json", kBadByte});
    ASSERT_EQ(scenes.exitCode, 0) << scenes.err;
    EXPECT_TRUE(fs::exists(dir / "clip\xff.scn"));
    EXPECT_EQ(name(entryFor(parse(scenes.out), kBadByte), "file"), (dir / kBadByte).string());
    auto dry = cli({"rename-to-date", "--dry-run", kBadByte, kNewline});
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_FALSE(hasRawByte(dry.out + dry.err)) << dry.out;
    EXPECT_EQ(dry.out.find("\"" + dir.path().string() + "/clip\\xff.avi\" -> "), 0u) << dry.out;
    EXPECT_NE(dry.out.find("\n\"" + dir.path().string() + "/two\\nlines.avi\" -> "),
              std::string::npos)
        << dry.out;
    EXPECT_EQ(std::count(dry.out.begin(), dry.out.end(), '\n'), 2) << dry.out;

    // A file passed over is named escaped on its one line.
    auto skipped = cli({"to-type1", kBadByte});
    EXPECT_EQ(skipped.exitCode, 3);
    EXPECT_EQ(skipped.err.find("kelvor-cli to-type1: \"" + dir.path().string() +
                               "/clip\\xff.avi\": skipped: "),
              0u)
        << skipped.err;
    EXPECT_FALSE(hasRawByte(skipped.err));
}

}  // namespace
}  // namespace kelvor

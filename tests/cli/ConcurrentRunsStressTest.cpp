// Several kelvor-cli processes writing into one folder at the same time, round after round: two,
// then four, into the same output and into different ones. Whatever the order they finish in,
// every output is complete and no temporary file is left behind.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <future>
#include <map>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

class ConcurrentRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& [name, frames] : kFrames) {
            std::string error;
            ASSERT_TRUE(fixtures::WriteDvFile(
                (dir / name).string(),
                "type=1 frames=" + std::to_string(frames) + " date=2004-07-14T10:00:00", error))
                << error;
        }
    }
    test::ProcessResult cli(std::vector<std::string> args) const {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    // The video frames of a written file: ffprobe's count when it is installed, else what our
    // own reader finds in its index.
    int frames(const fs::path& file) const {
        if (test::ToolAvailable("ffprobe")) {
            auto r = test::RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                    "-count_frames", "-show_entries", "stream=nb_read_frames",
                                    "-of", "default=noprint_wrappers=1:nokey=1", file.string()},
                                   dir.path());
            return r.exitCode == 0 ? std::atoi(r.out.c_str()) : -1;
        }
        auto r = cli({"info", "--json", file.string()});
        const QJsonObject top = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        return top["files"].toArray()[0].toObject()["video"].toObject()["frames"].toInt(-1);
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename() != "cfg")
                out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    const std::map<std::string, int> kFrames{{"a.avi", 100}, {"b.avi", 60}};
    test::TempDir dir;
};

TEST_F(ConcurrentRuns, TwoThenFourRunsLeaveCompleteOutputsAndNoTemporaryFile) {
    using Run = std::vector<std::string>;
    const Run toA = {"do", "ToType2", "--yes-to-all", "a.avi"};
    const Run toB = {"do", "ToType2", "--yes-to-all", "b.avi"};
    const Run soundOfA = {"extract-audio", "--yes-to-all", "a.avi"};
    const Run scenesOfA = {"scenes", "--text", "--yes-to-all", "a.avi"};
    // Each round's runs start together: the same output twice, different outputs, then four at
    // once with two into one output beside two other writers, and four into one output.
    const std::vector<std::vector<Run>> rounds = {
        {toA, toA},
        {toA, toB},
        {toA, toA},
        {toA, toA, toB, soundOfA},
        {toA, toB, scenesOfA, scenesOfA},
        {toA, toA, toA, toA},
    };
    for (std::size_t round = 0; round < rounds.size(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::future<test::ProcessResult>> runs;
        for (const Run& run : rounds[round])
            runs.push_back(std::async(std::launch::async, [this, run] { return cli(run); }));
        for (auto& run : runs) {
            const test::ProcessResult r = run.get();
            EXPECT_EQ(r.exitCode, 0) << r.err;
        }
        for (const std::string& name : entries()) {
            EXPECT_FALSE(name.ends_with(".tmp") || name.find(".kelvor-") != std::string::npos ||
                         name.ends_with(".part"))
                << name;
            if (name.ends_with("_type2.avi")) {
                EXPECT_EQ(frames(dir / name), kFrames.at(name.substr(0, 1) + ".avi")) << name;
            }
        }
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.avi", "a.scn", "a.wav", "a_scn.txt",
                                                   "a_type2.avi", "b.avi", "b_type2.avi"}));
    // The sound is whole too: ffprobe reads it to its end without an error.
    if (test::ToolAvailable("ffprobe")) {
        auto r = test::RunTool({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                "default=noprint_wrappers=1:nokey=1", "a.wav"},
                               dir.path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_NEAR(std::atof(r.out.c_str()), 100 / 25.0, 0.05) << r.out;
    }
}

}  // namespace
}  // namespace kelvor

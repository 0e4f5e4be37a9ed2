// kelvor-cli as a careful user tries it: no verb writes over the file it reads or over another
// video, and every verb answers bad input with the same exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

struct Clip {
    test::TempDir dir;
    std::string bytes;

    Clip() {
        std::string error;
        EXPECT_TRUE(fixtures::WriteDvFile((dir / "clip.avi").string(),
                                          "type=2 frames=10 date=2024-07-14T10:00:00", error))
            << error;
        bytes = test::ReadFile(dir / "clip.avi");
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), KELVOR_CLI);
        return test::RunTool(args, dir.path()).exitCode;
    }
};

TEST(VerbRules, TheRiffLogIsNeverSavedOverAVideo) {
    Clip c;
    std::filesystem::copy_file(c.dir / "clip.avi", c.dir / "other.avi");
    std::filesystem::copy_file(c.dir / "clip.avi", c.dir / "renamed.log");
    EXPECT_EQ(c.run({"riff", "clip.avi", "--save", "clip.avi"}), 1);
    EXPECT_EQ(c.run({"riff", "clip.avi", "--save", "other.avi"}), 1);
    // A video under another name is still the file being read.
    EXPECT_EQ(c.run({"riff", "renamed.log", "--save", "renamed.log"}), 1);
    EXPECT_EQ(c.run({"riff", "clip.avi", "--save", ""}), 2);
    for (const char* name : {"clip.avi", "other.avi", "renamed.log"})
        EXPECT_TRUE(test::ReadFile(c.dir / name) == c.bytes) << name << " was written over";
    EXPECT_EQ(c.run({"riff", "clip.avi", "--save", "clip.log"}), 0);
    EXPECT_EQ(test::ReadFile(c.dir / "clip.log").substr(0, 50), std::string(50, '-'));
}

TEST(VerbRules, SceneFilesNeverReplaceTheVideoTheyDescribe) {
    Clip c;
    // A video named like the file a scene command writes beside it, alone in its folder.
    const struct {
        const char* name;
        const char* option;
    } cases[] = {{"clip.scn", "--text"}, {"clip.srt", "--srt"}, {"clip.xlsx", "--xlsx"}};
    for (const auto& k : cases) {
        std::filesystem::create_directory(c.dir / k.option);
        const auto video = c.dir / k.option / k.name;
        std::filesystem::copy_file(c.dir / "clip.avi", video);
        EXPECT_EQ(c.run({"scenes", k.option, video.string()}), 1) << k.name;
        EXPECT_TRUE(test::ReadFile(video) == c.bytes) << k.name << " was written over";
    }
}

TEST(VerbRules, MissingFilesFifosAndBadOptions) {
    Clip c;
    ASSERT_EQ(::mkfifo((c.dir / "fifo.avi").c_str(), 0600), 0);
    for (const char* verb : {"info", "probe", "packs", "riff", "scenes"}) {
        EXPECT_EQ(c.run({verb, "missing.avi"}), 1) << verb;
        EXPECT_EQ(c.run({verb, "fifo.avi"}), 1) << verb;
        EXPECT_EQ(c.run({verb, "--bogus", "clip.avi"}), 2) << verb;
        EXPECT_EQ(c.run({verb}), 2) << verb;
    }
    EXPECT_EQ(c.run({"info", "clip.avi"}), 0);
}

}  // namespace
}  // namespace kelvor

// The scene-by-date run without a process: a scripted host sees the progress and the failures,
// and the scn file beside the video holds the scenes.
#include "commands/ScenesByDate.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/scenes/ScnFile.h"
#include "fixtures/DvFixture.h"
#include "media/filters/Tdv_sceneDetect.h"
#include "media/graphs/TdmList.h"
#include "support/TempDir.h"

namespace kelvor::commands {
namespace {

struct ScriptedHost : CommandHost {
    std::vector<std::pair<std::string, std::string>> failures;
    int progressDone = 0;
    bool Progress(const std::string&, std::int64_t, std::int64_t) override { return true; }
    void ProgressDone() override { ++progressDone; }
    void FileFailed(const std::string& file, const std::string& reason) override {
        failures.emplace_back(file, reason);
    }
};

struct Fixture {
    test::TempDir dir;
    settings::Preferences prefs;
    ScenesByDateContext context{prefs, EnglishLocale(), std::make_shared<media::Tdv_sceneDetect>()};
    media::TdmList probe;
    ScriptedHost host;

    std::string make(const std::string& name, const std::string& spec) {
        const std::string path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(fixtures::WriteDvFile(path, spec, error)) << error;
        return path;
    }
    RunOutcome run(const std::string& path, ScenesByDateRequest request = {}) {
        const files::TAfficherFichier record(path, probe);
        return DetectScenesByDate(record, request, context, host);
    }
};

TEST(ScenesByDate, WritesTheScnFileAndTheListsAskedFor) {
    Fixture f;
    const std::string video =
        f.make("clip.avi",
               "type=2 frames=10 date=2024-07-14T10:00:00; frames=15 date=2024-07-14T11:00:00");
    ScenesByDateRequest request;
    request.Text = true;
    request.Subtitles = true;
    const RunOutcome out = f.run(video, request);
    EXPECT_TRUE(out.Ok) << out.Error;
    EXPECT_TRUE(f.host.failures.empty());
    EXPECT_EQ(f.host.progressDone, 1);
    scenes::SceneList scenes;
    ASSERT_TRUE(scenes::ReadScnFile((f.dir / "clip.scn").string(), scenes, 25));
    ASSERT_EQ(scenes.size(), 2u);
    EXPECT_EQ(scenes[0].Scene.EndFrame, 10);
    EXPECT_EQ(scenes[1].Scene.EndFrame, 25);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "clip_scn.txt"));
    EXPECT_TRUE(std::filesystem::exists(f.dir / "clip.srt"));
    // The detector is ready for the next file: its callbacks are cleared.
    EXPECT_FALSE(f.context.Detector->Detector().OnSceneEnd);
}

TEST(ScenesByDate, FilesThatCannotBeProcessedTellTheHostWhy) {
    Fixture f;
    test::WriteFile(f.dir / "text.avi", "not a video");
    const auto missing = f.run((f.dir / "missing.avi").string());
    const auto text = f.run((f.dir / "text.avi").string());
    EXPECT_FALSE(missing.Ok);
    EXPECT_FALSE(text.Ok);
    ASSERT_EQ(f.host.failures.size(), 2u);
    EXPECT_EQ(f.host.failures[0].second, "the file is not found");
    EXPECT_EQ(f.host.failures[1].second, "not a DV file");
    EXPECT_FALSE(std::filesystem::exists(f.dir / "text.scn"));
}

}  // namespace
}  // namespace kelvor::commands

// kelvor-cli info as a user runs it: the display format comes from the user's Kelvor.conf.
#include <filesystem>

#include <gtest/gtest.h>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"

namespace kelvor {
namespace {

TEST(InfoVerb, DisplayFormatFromPreferencesAndJsonArray) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "a.avi").string(),
                                      "type=1 frames=5 date=2024-05-06T07:08:09", error));
    test::WriteFile(dir / "cfg" / "Quennel" / "Kelvor.conf",
                    "[\\Software\\Quennel\\Kelvor]\nFormat pour Afficher Datecode=yyyy\n");
    test::WriteFile(dir / "b.avi", "not a video");
    auto text = test::RunCli(dir, {"info", "a.avi"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("  Datecode  2024\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  codec     dvsd (type 1)\n"), std::string::npos) << text.out;

    // JSON keeps the recording date whatever the display format; a file that is no video gets
    // an error object in its place, and the run fails.
    auto json = test::RunCli(dir, {"info", "--json", "a.avi", "b.avi"});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.out.front(), '{');
    EXPECT_NE(json.out.find("\"recorded\": \"2024-05-06T07:08:09\""), std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"error\": \"not a video"), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("\"2024\""), std::string::npos) << json.out;
}

// The locale-dependent patterns follow the user's locale, not always US English.
TEST(InfoVerb, LocalePatternsFollowTheUsersLocale) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "a.avi").string(),
                                      "type=2 frames=3 date=2004-03-15T10:11:12", error));
    test::WriteFile(dir / "cfg" / "Quennel" / "Kelvor.conf",
                    "[\\Software\\Quennel\\Kelvor]\nFormat pour Afficher Datecode=ddddd\n");
    auto runIn = [&](const char* locale) {
        test::ProcessOptions options;
        options.workDir = dir.path();
        options.environment["XDG_CONFIG_HOME"] = (dir / "cfg").string();
        options.environment["LC_ALL"] = locale;
        return test::RunProcess({KELVOR_CLI, "info", "a.avi"}, options);
    };
    const auto german = runIn("de_DE.UTF-8");
    const auto plain = runIn("C");
    EXPECT_NE(german.out.find("  Datecode  15.03.04\n"), std::string::npos) << german.out;
    EXPECT_NE(plain.out.find("  Datecode  3/15/2004\n"), std::string::npos) << plain.out;
}

// info on DV files runs in the light front end, which must never load the codec libraries nor
// Qt Gui: the dynamic loader's own report names every library the process loads.
TEST(InfoVerb, DvFilesAreReadWithoutTheMediaLibraries) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "a.avi").string(),
                                      "type=2 frames=3 date=2004-03-15T10:11:12", error));
    test::ProcessOptions options;
    options.workDir = dir.path();
    options.environment["XDG_CONFIG_HOME"] = (dir / "cfg").string();
    options.environment["LD_DEBUG"] = "libs";
    const auto run = test::RunProcess({KELVOR_CLI, "info", "a.avi"}, options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("  codec     dvsd (type 2)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("libQt6Core"), std::string::npos) << run.err;
    for (const char* library : {"libavcodec", "libavformat", "libQt6Gui", "libQt6DBus"})
        EXPECT_EQ(run.err.find(library), std::string::npos) << library;
    // Scenes by date need no decoder either, and still write their scn file.
    const auto scenes = test::RunProcess({KELVOR_CLI, "scenes-by-date", "a.avi"}, options);
    EXPECT_EQ(scenes.exitCode, 0) << scenes.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "a.scn"));
    for (const char* library : {"libavcodec", "libavformat", "libQt6Gui", "libQt6DBus"})
        EXPECT_EQ(scenes.err.find(library), std::string::npos) << library;
}

}  // namespace
}  // namespace kelvor

// kelvor-cli info as a user runs it: the display format comes from the user's Kelvor.conf.
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

    auto json = test::RunCli(dir, {"info", "--json", "a.avi", "b.avi"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out.front(), '[');
    EXPECT_NE(json.out.find("\"DatecodeText\": \"2024\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"DatecodeISO\": \"2024-05-06T07:08:09.000\""), std::string::npos);
    EXPECT_NE(json.out.find("\"DatecodeKey\": \"\\u00ff\""), std::string::npos) << json.out;
}

}  // namespace
}  // namespace kelvor

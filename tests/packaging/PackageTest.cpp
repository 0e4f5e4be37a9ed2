// The Debian package as a user gets it: packed by CPack from this build's install rules, unpacked
// into a scratch root with dpkg -x, and the installed programs and files checked there. The
// validators of the desktop entry and the metainfo run when they are installed.
//
// The package is made once for the whole program (SetUpTestSuite); CTest runs the program as one
// case, labelled "package".
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/shell/About.h"
#include "core/shell/DesktopEntry.h"
#include "fixtures/DvFixture.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

class InstalledPackage : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test::TempDir>();
        test::ProcessOptions options;
        options.timeout = std::chrono::minutes(4);
        const auto pack = test::RunProcess(
            {"cpack", "--config", KELVOR_CPACK_CONFIG, "-B", (*dir_ / "out").string()}, options);
        if (pack.exitCode != 0) {
            failure_ = "cpack failed:\n" + pack.out + pack.err;
            return;
        }
        for (const auto& entry : fs::directory_iterator(*dir_ / "out"))
            if (entry.path().extension() == ".deb")
                deb_ = entry.path();
        if (deb_.empty()) {
            failure_ = "cpack made no .deb:\n" + pack.out;
            return;
        }
        root_ = *dir_ / "root";
        const auto unpack = test::RunProcess({"dpkg", "-x", deb_.string(), root_.string()});
        if (unpack.exitCode != 0)
            failure_ = "dpkg -x failed:\n" + unpack.err;
    }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override { ASSERT_TRUE(failure_.empty()) << failure_; }

    static std::string field(const std::string& name) {
        const auto r = test::RunProcess({"dpkg-deb", "-f", deb_.string(), name});
        std::string value = r.out;
        while (!value.empty() && value.back() == '\n')
            value.pop_back();
        return value;
    }

    // The installed kelvor-cli, with preferences of its own so the user's are never read.
    static test::ProcessResult runInstalledCli(std::vector<std::string> args) {
        args.insert(args.begin(), (root_ / "usr/bin/kelvor-cli").string());
        test::ProcessOptions options;
        options.workDir = dir_->path();
        options.environment["XDG_CONFIG_HOME"] = (*dir_ / "cfg").string();
        return test::RunProcess(args, options);
    }

    static inline std::unique_ptr<test::TempDir> dir_;
    static inline fs::path deb_;
    static inline fs::path root_;
    static inline std::string failure_;
};

TEST_F(InstalledPackage, NamesItsVersionAndTheLibrariesItNeeds) {
    const std::string version = about::VersionText();
    EXPECT_EQ(deb_.filename().string().rfind("kelvor_" + version + "_", 0), 0u) << deb_;
    EXPECT_EQ(field("Package"), "kelvor");
    EXPECT_EQ(field("Version"), version);
    EXPECT_EQ(field("Section"), "video");
    const std::string depends = field("Depends");
    for (const char* library : {"libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                                "libqt6multimedia6", "libqt6dbus6", "libavcodec", "libavformat",
                                "libavutil", "libswscale", "libswresample", "libxlsxwriter"})
        EXPECT_NE(depends.find(library), std::string::npos) << library << " in " << depends;

    // Everything lands under /usr, nothing of the build or the tests comes along.
    const auto listing = test::RunProcess({"dpkg-deb", "--contents", deb_.string()});
    ASSERT_EQ(listing.exitCode, 0) << listing.err;
    std::istringstream lines(listing.out);
    int programs = 0;
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(" ./");
        ASSERT_NE(at, std::string::npos) << line;
        const std::string path = line.substr(at + 1);
        EXPECT_TRUE(path == "./" || path.rfind("./usr/", 0) == 0) << path;
        if (path.rfind("./usr/bin/", 0) == 0 && path != "./usr/bin/")
            ++programs;
    }
    EXPECT_EQ(programs, 2) << listing.out;
}

TEST_F(InstalledPackage, TheInstalledCliRunsAndReadsADvFile) {
    ASSERT_TRUE(fs::is_regular_file(root_ / "usr/bin/kelvor"));
    const std::string version = about::VersionText();
    const auto asked = runInstalledCli({"--version"});
    EXPECT_EQ(asked.exitCode, 0) << asked.out << asked.err;
    EXPECT_EQ(asked.out, "kelvor-cli (" + std::string(about::kProductName) + ") " + version + "\n");

    std::string error;
    ASSERT_TRUE(fixtures::WriteDvFile(dir_->file("holiday.avi"),
                                      "type=2 frames=10 date=2024-07-14T10:00:00", error))
        << error;
    const auto info = runInstalledCli({"info", "--json", "holiday.avi"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("2024-07-14T10:00:00"), std::string::npos) << info.out;
}

TEST_F(InstalledPackage, TheDesktopEntryIsTheProgramsOwnAndValid) {
    const fs::path entry = root_ / "usr/share/applications" / shell::DesktopFileName("Kelvor");
    ASSERT_TRUE(fs::is_regular_file(entry));
    // The same text the settings panel writes for the user, starting the program on PATH.
    EXPECT_EQ(test::ReadFile(entry), shell::DesktopEntryText(shell::ProgramDesktopEntry("kelvor")));
    if (test::ToolAvailable("desktop-file-validate")) {
        const auto check = test::RunProcess({"desktop-file-validate", entry.string()});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_EQ(check.out, "");
    }
}

TEST_F(InstalledPackage, TheMetainfoNamesThisReleaseAndIsValid) {
    const fs::path metainfo =
        root_ / "usr/share/metainfo" / (std::string(KELVOR_APP_ID) + ".metainfo.xml");
    ASSERT_TRUE(fs::is_regular_file(metainfo));
    const std::string text = test::ReadFile(metainfo);
    for (const std::string& wanted :
         {"<id>" + std::string(KELVOR_APP_ID) + "</id>",
          "<release version=\"" + about::VersionText() + "\"",
          "<url type=\"homepage\">" + std::string(about::kWebAddress) + "</url>",
          std::string("<launchable type=\"desktop-id\">kelvor.desktop</launchable>"),
          std::string("<binary>kelvor</binary>"), std::string("<binary>kelvor-cli</binary>"),
          std::string("<screenshot type=\"default\">")})
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted;
    // Every video type the desktop entry opens is announced.
    std::string types(shell::kVideoMimeTypes);
    std::replace(types.begin(), types.end(), ';', ' ');
    for (const std::string& type : words(types))
        EXPECT_NE(text.find("<mediatype>" + type + "</mediatype>"), std::string::npos) << type;
    if (test::ToolAvailable("appstreamcli")) {
        const auto check =
            test::RunProcess({"appstreamcli", "validate", "--no-net", metainfo.string()});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    }
}

TEST_F(InstalledPackage, TheIconComesScalableAndInEverySize) {
    const fs::path icons = root_ / "usr/share/icons/hicolor";
    EXPECT_EQ(test::ReadFile(icons / "scalable/apps/kelvor.svg"),
              test::ReadFile(fs::path(KELVOR_SOURCE_DIR) / "packaging/kelvor.svg"));
    const std::vector<std::string> sizes = words(KELVOR_ICON_SIZES);
    ASSERT_FALSE(sizes.empty());
    for (const std::string& size : sizes) {
        const fs::path png = icons / (size + "x" + size) / "apps/kelvor.png";
        const QImage image(QString::fromStdString(png.string()), "PNG");
        ASSERT_FALSE(image.isNull()) << png;
        EXPECT_EQ(image.width(), std::stoi(size)) << png;
        EXPECT_EQ(image.height(), std::stoi(size)) << png;
        // The drawing fills the middle and leaves the rounded corners clear.
        const int middle = image.width() / 2;
        EXPECT_EQ(image.pixelColor(middle, middle).alpha(), 255) << png;
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << png;
    }
}

TEST_F(InstalledPackage, EveryManPageAndCompletionOfTheSourceIsInstalled) {
    const fs::path source(KELVOR_SOURCE_DIR);
    const std::pair<fs::path, fs::path> places[] = {
        {source / "docs/man", root_ / "usr/share/man/man1"},
        {source / "data/bash-completion", root_ / "usr/share/bash-completion/completions"},
    };
    for (const auto& [from, to] : places) {
        if (!fs::is_directory(from))
            continue;
        for (const auto& file : fs::directory_iterator(from)) {
            if (from.filename() == "man" && file.path().extension() != ".1")
                continue;
            const fs::path installed = to / file.path().filename();
            ASSERT_TRUE(fs::is_regular_file(installed)) << installed;
            EXPECT_EQ(test::ReadFile(installed), test::ReadFile(file.path())) << installed;
        }
    }
}

}  // namespace
}  // namespace kelvor

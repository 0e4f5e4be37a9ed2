#include "platform/DesktopShell.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QUrl>
#include <map>
#include <optional>

#include "core/files/DateTime.h"
#include "core/settings/PreferencesStore.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/QtDesktopServices.h"
#include "platform/UserLocale.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// Points the desktop's folders into a temporary folder for one test and puts them back.
class DesktopSandbox {
  public:
    DesktopSandbox() {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            saved_[name] = qEnvironmentVariableIsSet(name)
                               ? std::optional<QByteArray>(qgetenv(name))
                               : std::nullopt;
        }
        set("HOME", dir.path() / "home");
        set("XDG_DATA_HOME", dir.path() / "home/.local/share");
        set("XDG_CONFIG_HOME", dir.path() / "home/.config");
        fs::create_directories(dir.path() / "home");
    }
    ~DesktopSandbox() {
        for (const auto& [name, value] : saved_) {
            if (value)
                qputenv(name.c_str(), *value);
            else
                qunsetenv(name.c_str());
        }
    }
    static void set(const char* name, const fs::path& value) {
        qputenv(name, QByteArray::fromStdString(value.string()));
    }

    test::TempDir dir;

  private:
    std::map<std::string, std::optional<QByteArray>> saved_;
};

TEST(RecycleFile, MovesTheFileIntoTheTrashWithItsInfoRecord) {
    DesktopSandbox box;
    const fs::path videos = box.dir / "home/My Videos";
    WriteFile(videos / "Clip.AVI", "RIFF");
    ASSERT_TRUE(RecycleFile((videos / "Clip.AVI").string()));

    EXPECT_FALSE(fs::exists(videos / "Clip.AVI"));
    const fs::path trash = box.dir / "home/.local/share/Trash";
    // The name keeps its case: another case would name another file here.
    EXPECT_EQ(ReadFile(trash / "files/Clip.AVI"), "RIFF");
    const std::string info = ReadFile(trash / "info/Clip.AVI.trashinfo");
    const std::string encoded =
        QUrl::toPercentEncoding(QString::fromStdString((videos / "Clip.AVI").string()), "/")
            .toStdString();
    EXPECT_EQ(info.rfind("[Trash Info]\n", 0), 0u) << info;
    EXPECT_NE(info.find("Path=" + encoded + "\n"), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos) << info;

    EXPECT_FALSE(RecycleFile((videos / "Clip.AVI").string()));
    EXPECT_FALSE(RecycleFile(""));
}

TEST(RecycleFile, RefusesWhenNoTrashCanBeMadeAndLeavesTheFile) {
    DesktopSandbox box;
    WriteFile(box.dir / "home/blocker", "");
    DesktopSandbox::set("XDG_DATA_HOME", box.dir / "home/blocker/share");
    WriteFile(box.dir / "home/Clip.avi", "RIFF");
    const fs::path before = fs::current_path();
    EXPECT_FALSE(RecycleFile((box.dir / "home/Clip.avi").string()));
    EXPECT_EQ(ReadFile(box.dir / "home/Clip.avi"), "RIFF");
    EXPECT_FALSE(fs::exists(before / "files/Clip.avi"));
}

TEST(SendToShortcut, WritesTheProgramsDesktopEntryForDvVideosAndRemovesIt) {
    DesktopSandbox box;
    ASSERT_TRUE(CreateSendToShortcut("Kelvor"));
    const fs::path entry = box.dir / "home/.local/share/applications/kelvor.desktop";
    ASSERT_EQ(ApplicationsFolder(), entry.parent_path().string());
    const std::string text = ReadFile(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nName=Kelvor\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=kelvor\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=" + ProgramFile() + " %F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nMimeType=video/x-msvideo;video/avi;video/x-dv;video/dv;"
                        "video/quicktime;video/x-matroska;\n"),
              std::string::npos);
    // The package's entry with this program in its Exec line.
    EXPECT_EQ(text, shell::DesktopEntryText(shell::ProgramDesktopEntry(ProgramFile())));

    if (test::ToolAvailable("desktop-file-validate")) {
        const auto check = test::RunProcess({"desktop-file-validate", entry.string()});
        ASSERT_TRUE(check.started);
        EXPECT_FALSE(check.timedOut);
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_EQ(check.out, "");
    }

    // A second start finds the entry as it wants it and leaves it alone.
    const auto written = fs::last_write_time(entry);
    fs::last_write_time(entry, written - std::chrono::hours(1));
    EXPECT_TRUE(CreateSendToShortcut("Kelvor"));
    EXPECT_EQ(fs::last_write_time(entry), written - std::chrono::hours(1));
    WriteFile(entry, "[Desktop Entry]\nName=Old\n");
    EXPECT_TRUE(CreateSendToShortcut("Kelvor"));
    EXPECT_EQ(ReadFile(entry), text);

    EXPECT_TRUE(DeleteSendToShortcut("Kelvor"));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(DeleteSendToShortcut("Kelvor"));
}

TEST(SendToShortcut, AProgramPathWithBlanksIsQuotedInTheEntry) {
    DesktopSandbox box;
    const fs::path link = box.dir / "apps/test.desktop";
    ASSERT_TRUE(
        CreateShortcut(link.string(), "/opt/my apps/kel$vor", "/opt", "Shortcut to X", "X"));
    const std::string text = ReadFile(link);
    EXPECT_NE(text.find("\nExec=\"/opt/my apps/kel\\\\$vor\" %F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nPath=/opt\n"), std::string::npos);
    EXPECT_FALSE(CreateShortcut((box.dir / "apps/bad.desktop").string(), "/a\nb", "", "", "X"));
    EXPECT_FALSE(fs::exists(box.dir / "apps/bad.desktop"));
}

TEST(DocumentsFolder, IsTheDocumentsFolderWhenItExistsAndHomeOtherwise) {
    DesktopSandbox box;
    const fs::path home = box.dir / "home";
    EXPECT_EQ(DocumentsFolder(), home.string());
    fs::create_directories(home / "Papers");
    WriteFile(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    EXPECT_EQ(DocumentsFolder(), (home / "Papers").string());
    EXPECT_EQ(QtDesktopServices().DocumentsFolder(), (home / "Papers").string());
}

TEST(PreferencesEnvironment, TakesTheConfigHomeFromTheEnvironment) {
    DesktopSandbox box;
    settings::PreferencesEnvironment env = CurrentPreferencesEnvironment();
    EXPECT_EQ(env.Locations.ConfigHome, box.dir / "home/.config");
    EXPECT_EQ(env.Locations.UserFile(), box.dir / "home/.config/Quennel/Kelvor.conf");
    EXPECT_EQ(env.Locations.ProgramFile.filename(), "test_platform");
    EXPECT_EQ(env.ProgramRoot, MountPointOf(env.Locations.ProgramFile.string()));
    EXPECT_EQ(env.DocumentsFolder, (box.dir / "home").string());

    // A relative value is not a base folder.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(ConfigHome(), box.dir / "home/.config");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ConfigHome(), box.dir / "home/.config");
}

TEST(PreferencesEnvironment, AFirstStartFromTheDesktopGivesTheDocumentsFolder) {
    DesktopSandbox box;
    fs::create_directories(box.dir / "home/Documents");
    settings::PreferencesEnvironment env = CurrentPreferencesEnvironment();
    // The program's own folder holds no Kelvor.ini here; make sure of it for a stray build.
    ASSERT_FALSE(fs::exists(env.Locations.IniFile()));
    settings::Preferences prefs;
    EXPECT_EQ(settings::LoadPreferences(prefs, env), settings::LoadOutcome::Read);
    EXPECT_EQ(prefs.SaveFolder, (box.dir / "home/Documents").string());
    settings::StorePreferences(prefs, env);
    EXPECT_TRUE(fs::exists(box.dir / "home/.config/Quennel/Kelvor.conf"));
}

TEST(OsVersionText, NamesTheKernelAndTheDistribution) {
    const std::string text = OsVersionText();
    EXPECT_EQ(text.rfind("Linux ", 0), 0u) << text;
    if (fs::exists("/etc/os-release") || fs::exists("/usr/lib/os-release")) {
        EXPECT_NE(text.find(" - "), std::string::npos) << text;
    }
}

TEST(FixedDrives, ListsTheMountPointOfTheRootOrOtherDisks) {
    for (const std::string& m : FixedDrives()) {
        EXPECT_EQ(m.front(), '/');
        EXPECT_TRUE(fs::is_directory(m)) << m;
    }
}

TEST(UserLocaleInfo, FillsThePatternLanguageFromAQtLocale) {
    const double date = *EncodeDateTime({2024, 5, 6, 15, 4, 5, 0});
    const LocaleInfo us = UserLocaleInfo(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.LongDayNames[0], "Sunday");
    EXPECT_EQ(us.ShortMonthNames[4], "May");
    EXPECT_EQ(FormatDateTime("ddddd", date, us), "5/6/24");
    EXPECT_EQ(FormatDateTime("tt", date, us), "3:04:05 PM");

    const LocaleInfo de = UserLocaleInfo(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.LongDayNames[1], "Montag");
    EXPECT_EQ(FormatDateTime("ddddd hh:nn:ss", date, de), "06.05.24 15:04:05");
    EXPECT_EQ(FormatDateTime("dddddd", date, de), "Montag, 6. Mai 2024");
}

}  // namespace
}  // namespace kelvor::platform

#include <gtest/gtest.h>

#include <map>

#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"
#include "core/shell/DesktopEntry.h"
#include "core/shell/LocalePatterns.h"
#include "core/shell/Mounts.h"
#include "core/shell/OsVersion.h"
#include "core/shell/ShellHelpers.h"
#include "support/TempDir.h"

namespace kelvor::shell {
namespace {

TEST(UnquoteArgument, TrimsThenRemovesOnePairOfQuotes) {
    EXPECT_EQ(UnquoteArgument(" \"c:\\my videos\" "), "c:\\my videos");
    EXPECT_EQ(UnquoteArgument("\t\r\n\"/home/a b/x.avi\"\x01"), "/home/a b/x.avi");
    EXPECT_EQ(UnquoteArgument("\""), "\"");
    EXPECT_EQ(UnquoteArgument(" \"\" "), "");
    EXPECT_EQ(UnquoteArgument("\"open"), "\"open");
    EXPECT_EQ(UnquoteArgument("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(UnquoteArgument("  "), "");
}

TEST(RemapDrive, MovesWholePathComponentsUnderTheOldMountPoint) {
    EXPECT_EQ(RemapDrive("/media/E/videos", "/media/E", "/media/F"), "/media/F/videos");
    EXPECT_EQ(RemapDrive("/media/E", "/media/E/", "/media/F"), "/media/F");
    EXPECT_EQ(RemapDrive("/media/Extra/videos", "/media/E", "/media/F"), "/media/Extra/videos");
    EXPECT_EQ(RemapDrive("/media/e/videos", "/media/E", "/media/F"), "/media/e/videos");
    EXPECT_EQ(RemapDrive("/home/videos", "/media/E", "/media/F"), "/home/videos");
    EXPECT_EQ(RemapDrive("", "/media/E", "/media/F"), "");
    EXPECT_EQ(RemapDrive("/media/E/x", "", "/media/F"), "/media/E/x");
    EXPECT_EQ(RemapDrive("/home/a", "/", "/media/F"), "/media/F/home/a");
    EXPECT_EQ(RemapDrive("/media/E/a", "/media/E", "/"), "/a");
    EXPECT_EQ(RemapDrive("/media/E", "/media/E", "/"), "/");
}

TEST(ExpandEnvironment, ReplacesKnownNamesAndKeepsTheRest) {
    const std::map<std::string, std::string> vars = {{"HOME", "/home/ann"}, {"EMPTY", ""}};
    const EnvironmentLookup lookup = [&](const std::string& n) -> std::optional<std::string> {
        const auto it = vars.find(n);
        if (it == vars.end())
            return std::nullopt;
        return it->second;
    };
    EXPECT_EQ(ExpandEnvironment("%HOME%/Videos", lookup), "/home/ann/Videos");
    EXPECT_EQ(ExpandEnvironment("a%EMPTY%b", lookup), "ab");
    EXPECT_EQ(ExpandEnvironment("%systemroot%\\", lookup), "%systemroot%\\");
    EXPECT_EQ(ExpandEnvironment("%unset%HOME%", lookup), "%unset%HOME%");
    EXPECT_EQ(ExpandEnvironment("100% sure %% %HOME", lookup), "100% sure %% %HOME");
    const std::string longText(3000, 'x');
    EXPECT_EQ(ExpandEnvironment("%HOME%" + longText, lookup).size(), 9 + longText.size());
}

TEST(DeleteFileForced, RemovesReadOnlyFilesButNotFolders) {
    test::TempDir dir;
    test::WriteFile(dir / "ro.ini", "x");
    std::filesystem::permissions(dir / "ro.ini", std::filesystem::perms::owner_read);
    EXPECT_TRUE(DeleteFileForced(dir / "ro.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / "ro.ini"));
    EXPECT_FALSE(DeleteFileForced(dir / "ro.ini"));
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(DeleteFileForced(dir / "folder"));
    EXPECT_TRUE(std::filesystem::exists(dir / "folder"));
}

TEST(WindowsVersionText, FollowsTheVersionTable) {
    auto text = [](std::uint32_t id, std::uint32_t major, std::uint32_t minor, std::string sp = "",
                   std::uint32_t build = 0) {
        return WindowsVersionText({id, major, minor, build, std::move(sp)});
    };
    EXPECT_EQ(text(2, 6, 2, "", 9200), "Unknown  - build 9200");
    EXPECT_EQ(text(2, 5, 1, "Service Pack 2", 2600), "Windows XP Service Pack 2 - build 2600");
    EXPECT_EQ(text(1, 4, 0, " B", 0x040003B6), "Windows 95 OSR 2  B - build 950");
    EXPECT_EQ(text(1, 4, 0, " C"), "Windows 95  C - build 0");  // the match is case-sensitive
    EXPECT_EQ(text(1, 4, 0, " c"), "Windows 95 OSR 2  c - build 0");
    EXPECT_EQ(text(1, 4, 10, " a"), "Windows 98 Second Edition  a - build 0");
    EXPECT_EQ(text(1, 4, 10, " A"), "Windows 98  A - build 0");
    EXPECT_EQ(text(1, 4, 90), "Windows ME  - build 0");
    EXPECT_EQ(text(1, 4, 3), "Windows 9X  - build 0");
    EXPECT_EQ(text(1, 5, 0), "Unknown  - build 0");
    EXPECT_EQ(text(0, 3, 1), "Windows 3.1  - build 0");
    EXPECT_EQ(text(2, 3, 51), "Windows NT 3.5  - build 0");
    EXPECT_EQ(text(2, 4, 0), "Windows NT 4  - build 0");
    EXPECT_EQ(text(2, 5, 0), "Windows 2000  - build 0");
    EXPECT_EQ(text(2, 5, 2), "Windows Server 2003  - build 0");
    EXPECT_EQ(text(2, 5, 3), "Windows NT ?  - build 0");
    EXPECT_EQ(text(2, 6, 0), "Windows Vista  - build 0");
    EXPECT_EQ(text(2, 10, 0), "Windows NT ?  - build 0");
    EXPECT_EQ(text(3, 1, 0), "Unknown  - build 0");
}

TEST(LinuxVersionText, JoinsKernelAndDistribution) {
    const std::string osRelease =
        "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n";
    const std::string pretty = PrettyNameFromOsRelease(osRelease);
    EXPECT_EQ(pretty, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(LinuxVersionText("Linux", "6.1.0-18-amd64", pretty),
              "Linux 6.1.0-18-amd64 - Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(LinuxVersionText("Linux", "6.1.0", ""), "Linux 6.1.0");
    EXPECT_EQ(PrettyNameFromOsRelease("PRETTY_NAME='Arch \\ Linux'\r\n"), "Arch \\ Linux");
    EXPECT_EQ(PrettyNameFromOsRelease("PRETTY_NAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
    EXPECT_EQ(PrettyNameFromOsRelease("PRETTY_NAME=Plain\n"), "Plain");
    EXPECT_EQ(PrettyNameFromOsRelease("# PRETTY_NAME=\"x\"\nNAME=y"), "");
}

TEST(FixedMountPoints, KeepsLocalDiskFileSystemsOnly) {
    const std::string mounts =
        "/dev/sda2 / ext4 rw,relatime 0 0\n"
        "proc /proc proc rw,nosuid 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "/dev/sdb1 /media/ann/My\\040Stick vfat rw,nosuid 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
        "/dev/sdc1 /data btrfs rw 0 0\n"
        "/dev/sdc1 /data btrfs rw 0 0\n"
        "/dev/sdd1 /archive ext4 ro 0 0\n"
        "/dev/nvme0n1p3 /usr ext4 ro 0 0\n"
        "overlay /var/lib/docker/x overlay rw 0 0\n"
        "broken line\n";
    EXPECT_EQ(FixedMountPoints(mounts),
              (std::vector<std::string>{"/", "/media/ann/My Stick", "/data", "/archive"}));
    EXPECT_TRUE(FixedMountPoints("").empty());
}

TEST(DesktopEntry, QuotesExecArgumentsByBothRules) {
    EXPECT_EQ(QuoteExecArgument("/usr/bin/kelvor"), "/usr/bin/kelvor");
    EXPECT_EQ(QuoteExecArgument("/opt/my apps/kelvor"), "\"/opt/my apps/kelvor\"");
    EXPECT_EQ(QuoteExecArgument("/opt/a$b\"c"), "\"/opt/a\\\\$b\\\\\"c\"");
    EXPECT_EQ(QuoteExecArgument("/opt/100%/k"), "/opt/100%%/k");
    EXPECT_EQ(QuoteExecArgument("/opt/a\\b"), "\"/opt/a\\\\\\\\b\"");
    EXPECT_FALSE(QuoteExecArgument("/opt/a\nExec=evil"));

    const auto text =
        DesktopEntryText({"Kelvor", "Shortcut to Kelvor", "/opt/k v/kelvor", "", "", "", ""});
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Kelvor\n"
              "Comment=Shortcut to Kelvor\nExec=\"/opt/k v/kelvor\" %F\nTerminal=false\n"
              "Categories=AudioVideo;Video;\nMimeType=video/x-msvideo;video/avi;video/x-dv;"
              "video/dv;video/quicktime;video/x-matroska;\n");
    EXPECT_FALSE(DesktopEntryText({"Kel\nvor", "", "/k", "", "", "", ""}));
    EXPECT_EQ(DesktopFileName("Kelvor"), "kelvor.desktop");
}

TEST(DesktopEntry, TheProgramsEntryDiffersOnlyInTheProgramItStarts) {
    const auto installed = DesktopEntryText(ProgramDesktopEntry("kelvor"));
    const auto user = DesktopEntryText(ProgramDesktopEntry("/home/ann/my apps/kelvor"));
    ASSERT_TRUE(installed && user);
    EXPECT_EQ(installed->rfind("[Desktop Entry]\nType=Application\n", 0), 0u) << *installed;
    for (const char* line : {"\nName=Kelvor\n", "\nExec=kelvor %F\n", "\nIcon=kelvor\n",
                             "\nTerminal=false\n", "\nCategories=AudioVideo;Video;\n"})
        EXPECT_NE(installed->find(line), std::string::npos) << line << *installed;
    EXPECT_NE(installed->find("\nMimeType=" + std::string(kVideoMimeTypes) + "\n"),
              std::string::npos);
    std::string expected = *installed;
    const std::string exec = "Exec=kelvor %F";
    expected.replace(expected.find(exec), exec.size(), "Exec=\"/home/ann/my apps/kelvor\" %F");
    EXPECT_EQ(*user, expected);

    // Any field that would break the file out of its line refuses the whole entry.
    DesktopEntry broken = ProgramDesktopEntry("kelvor");
    broken.Keywords = "DV;\nExec=evil;";
    EXPECT_FALSE(DesktopEntryText(broken));
    broken = ProgramDesktopEntry("kelvor");
    broken.Icon = "kel\rvor";
    EXPECT_FALSE(DesktopEntryText(broken));
}

TEST(PatternFromQtFormat, TranslatesLettersSeparatorsAndLiterals) {
    auto convert = [](const char* f, char placeholder) {
        const ConvertedPattern c = PatternFromQtFormat(f, placeholder);
        return c.Pattern + "|" + c.Separator;
    };
    EXPECT_EQ(convert("M/d/yy", '/'), "m/d/yy|/");
    EXPECT_EQ(convert("dd.MM.yyyy", '/'), "dd/mm/yyyy|.");
    EXPECT_EQ(convert("yyyy-MM-dd", '/'), "yyyy/mm/dd|-");
    EXPECT_EQ(convert("h:mm:ss AP t", ':'), "h:nn:ss ampm|:");
    EXPECT_EQ(convert("HH.mm", ':'), "hh:nn|.");
    EXPECT_EQ(convert("dddd, MMMM d, yyyy", 0), "dddd, mmmm d, yyyy|");
    EXPECT_EQ(convert("d 'de' MMMM 'de' yyyy", 0), "d \"de\" mmmm \"de\" yyyy|");
    EXPECT_EQ(convert("yyyy'年'M'月'd'日'", '/'), "yyyy\"年\"m\"月\"d\"日\"|");
    EXPECT_EQ(convert("d/M 'o''clock' x", 0), "d\"/\"m \"o'clock\" \"x\"|");

    // The result drives the pattern language as the locale's own format would.
    LocaleInfo german = EnglishLocale();
    const ConvertedPattern date = PatternFromQtFormat("dd.MM.yy", '/');
    german.ShortDateFormat = date.Pattern;
    german.DateSeparator = date.Separator;
    EXPECT_EQ(FormatDateTime("ddddd", *EncodeDate(2024, 5, 6), german), "06.05.24");
}

}  // namespace
}  // namespace kelvor::shell

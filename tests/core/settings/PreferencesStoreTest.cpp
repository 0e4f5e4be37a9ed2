#include "core/settings/PreferencesStore.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

#include "core/files/DateTime.h"
#include "core/settings/IniText.h"
#include "support/TempDir.h"

namespace kelvor::settings {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const std::string kSection = "[\\Software\\Quennel\\Kelvor]\n";

class ScriptedHost : public PreferencesHost {
  public:
    std::deque<bool> answers;
    std::vector<std::string> log;

    bool askYesNo(MessageKind kind, const std::string& text) override {
        log.push_back(std::string(kind == MessageKind::Warning ? "ask-warning: " : "ask: ") + text);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.pop_front();
        return yes;
    }
    void showMessage(MessageKind kind, const std::string& text) override {
        log.push_back(std::string(kind == MessageKind::Warning ? "warning: " : "information: ") +
                      text);
    }
};

class PreferencesStoreTest : public ::testing::Test {
  protected:
    PreferencesStoreTest() {
        env.Locations.ProgramFile = dir / "bin/kelvor";
        env.Locations.ConfigHome = dir / "config";
        env.ProgramRoot = "/media/F";
        env.ScreenWidth = 1920;
        env.ScreenHeight = 1080;
        env.DocumentsFolder = "/home/ann/Documents";
        env.VarnoltProgram = "/usr/bin/varnolt";
        env.Now = [] { return *EncodeDateTime({2024, 5, 6, 13, 2, 3, 0}); };
        fs::create_directories(dir / "bin");
    }

    fs::path userFile() const { return env.Locations.UserFile(); }
    fs::path iniFile() const { return env.Locations.IniFile(); }

    Preferences load() {
        Preferences p;
        LoadPreferences(p, env);
        return p;
    }

    test::TempDir dir;
    PreferencesEnvironment env;
};

TEST_F(PreferencesStoreTest, FirstStartGivesEveryDefaultAndTheDocumentsFolder) {
    Preferences p;
    EXPECT_EQ(LoadPreferences(p, env), LoadOutcome::Read);

    Preferences expected;
    expected.Top = (1080 - 500) / 2;
    expected.Left = (1920 - 594) / 2;
    expected.OpenFolder = "/home/ann/Documents";
    expected.PreferredFolder = "/home/ann/Documents";
    expected.SaveFolder = "/home/ann/Documents";
    expected.PlaylistFolder = "/home/ann/Documents";
    expected.VarnoltProgram = "/usr/bin/varnolt";
    EXPECT_EQ(p, expected);
    EXPECT_FALSE(p.IniMode);
    EXPECT_EQ(p.DisplayDatecodeFormat, "ddddd hh:nn:ss");
    EXPECT_EQ(p.InlayFont, InlayFontSettings{});
    // Loading writes nothing.
    EXPECT_FALSE(fs::exists(env.Locations.UserFolder()));
    EXPECT_FALSE(fs::exists(iniFile()));
}

TEST_F(PreferencesStoreTest, EveryValueSurvivesAStoreAndAReload) {
    Preferences p = load();
    p.Top = -12;
    p.ListOrder = 3;
    p.DvAudioRate = 0;
    p.Volume = 1234;
    p.TimeShift = -2.0 / 24 + 1e-9;
    p.RenameRoot = "  Clip \"d'été\" ";
    p.DisplayDatecodeFormat = "yyyy";
    p.SaveFolder = "/mnt/vidéos/";
    p.OfferInOpenWith = true;
    p.Portable = true;
    p.PortableDrive = "/media/F";
    p.InlayFont = {24, 0x0000FF, "DejaVu Sans", false, true, true, true};
    StorePreferences(p, env);

    Preferences back = load();
    back.IniMode = p.IniMode;
    EXPECT_EQ(back, p);
    const std::string text = ReadFile(userFile());
    EXPECT_NE(text.find("Dossier pour Sauver=/mnt/vidéos/\n"), std::string::npos);
    EXPECT_NE(text.find("[\\Software\\Quennel\\Kelvor\\IncrustFont]\nSize=24\nColor=255\n"),
              std::string::npos);
}

TEST_F(PreferencesStoreTest, AValueStoredEmptyStaysEmptyAfterAReload) {
    Preferences p = load();
    p.RenameFormat.clear();
    p.SaveFolder.clear();
    p.VarnoltProgram.clear();
    p.InlayFormat2.clear();
    p.PortableDrive.clear();
    StorePreferences(p, env);
    const std::string text = ReadFile(userFile());
    EXPECT_NE(text.find("Format pour Renommer=#@vide§#\n"), std::string::npos);
    EXPECT_NE(text.find("Fichier Varnolt=#@vide§#\n"), std::string::npos);
    // "POrtable Drive" is not among the texts that get the marker.
    EXPECT_NE(text.find("POrtable Drive=\n"), std::string::npos);

    const Preferences back = load();
    EXPECT_EQ(back.RenameFormat, "");
    EXPECT_EQ(back.SaveFolder, "");
    EXPECT_EQ(back.VarnoltProgram, "");
    EXPECT_EQ(back.InlayFormat2, "");
    // Values never stored empty still get completed.
    EXPECT_EQ(back.OpenFolder, "/home/ann/Documents");
}

TEST_F(PreferencesStoreTest, AnAbsentKeyGetsItsDefaultNotTheMarkerRule) {
    WriteFile(userFile(), kSection + "Volume=77\nFormat pour Renommer=\n");
    const Preferences p = load();
    EXPECT_EQ(p.Volume, 77);
    EXPECT_EQ(p.RenameFormat, "yyyymmdd_hh.nn.ss_am/pm");
    EXPECT_EQ(p.SaveFolder, "/home/ann/Documents");
    EXPECT_EQ(p.VarnoltProgram, "/usr/bin/varnolt");
}

TEST_F(PreferencesStoreTest, TwoStoresInOneRunBothWriteTheMarkerAndTheFixedKeys) {
    Preferences p = load();
    p.AddDatecodeFormat.clear();
    StorePreferences(p, env);
    const std::string first = ReadFile(userFile());
    StorePreferences(p, env);
    const std::string second = ReadFile(userFile());
    EXPECT_EQ(p.AddDatecodeFormat, "");
    for (const std::string& text : {first, second})
        EXPECT_NE(text.find("Format pour Ajouter Datecode=#@vide§#\n"), std::string::npos);
    EXPECT_EQ(first, second);

    // The fixed keys come first, then the table order.
    const std::string head = kSection + "version=Kelvor 0.1.0 En by Quennel\n" +
                             "Dernière Sauvegarde=2024/05/06 01:02:03 pm\n" +
                             "Exename=" + env.Locations.ProgramFile.string() + "\nTop=";
    EXPECT_EQ(first.substr(0, head.size()), head);
    const auto doc = IniDocument::Parse(first);
    ASSERT_TRUE(doc);
    for (const auto& key : MainKeys())
        EXPECT_NE(doc->Find(MainSection, key.Key), nullptr);
}

TEST_F(PreferencesStoreTest, AnIniBesideTheProgramWinsAndTheUserStoreIsUntouched) {
    const std::string userText = kSection + "Volume=7\n";
    WriteFile(userFile(), userText);
    WriteFile(iniFile(),
              "; portable\r\n" + kSection + "VOLUME = 42\r\nDossier pour Sauver=\"/x\"\r\n");

    Preferences p = load();
    EXPECT_TRUE(p.IniMode);
    EXPECT_EQ(p.Volume, 42);
    EXPECT_EQ(p.SaveFolder, "/x");

    p.Volume = 43;
    StorePreferences(p, env);
    EXPECT_EQ(ReadFile(userFile()), userText);
    const std::string ini = ReadFile(iniFile());
    EXPECT_NE(ini.find("; portable"), std::string::npos);
    EXPECT_NE(ini.find("VOLUME=43\n"), std::string::npos);
    EXPECT_EQ(ini.find("Volume="), std::string::npos);
    EXPECT_EQ(load().Volume, 43);
}

TEST_F(PreferencesStoreTest, PortableRemapMovesOnlyPathsUnderTheOldMountPoint) {
    WriteFile(iniFile(), kSection +
                             "Portable=1\n"
                             "POrtable Drive=/media/E\n"
                             "Dossier pour Sauver=/media/E/videos/\n"
                             "Dossier pour Ouvrir Fichiers=/home/ann/clips/\n"
                             "Dossier des PlayList=/media/Extra/lists/\n"
                             "Dossier à ouverture auto=/media/E\n"
                             "Fichier F3=/media/E/bin/tool\n"
                             "Format pour Renommer=/media/E/not-a-path\n");
    const Preferences p = load();
    EXPECT_EQ(p.SaveFolder, "/media/F/videos/");
    EXPECT_EQ(p.OpenFolder, "/home/ann/clips/");
    EXPECT_EQ(p.PlaylistFolder, "/media/Extra/lists/");
    EXPECT_EQ(p.PreferredFolder, "/media/F");
    EXPECT_EQ(p.F3Program, "/media/F/bin/tool");
    EXPECT_EQ(p.RenameFormat, "/media/E/not-a-path");

    // Without "Portable" nothing moves.
    WriteFile(iniFile(), kSection + "POrtable Drive=/media/E\nDossier pour Sauver=/media/E/v/\n");
    EXPECT_EQ(load().SaveFolder, "/media/E/v/");
}

TEST_F(PreferencesStoreTest, AWrongValueInTheUserStoreGivesTheFallbackSet) {
    env.WindowWidth = 800;
    env.WindowHeight = 600;
    // "Frequence DV" is read before "Volume" fails and keeps the value it read.
    WriteFile(userFile(), kSection +
                              "Border Size=3\nSendto=0\nFrequence DV=1\nVolume=loud\n"
                              "Format pour Renommer=abc\n");
    Preferences p;
    p.DvAudioRate = 0;
    EXPECT_EQ(LoadPreferences(p, env), LoadOutcome::Fallback);
    EXPECT_EQ(p.DvAudioRate, 1);
    EXPECT_EQ(p.BorderSize, 0);
    EXPECT_TRUE(p.OfferInOpenWith);
    EXPECT_EQ(p.Top, (1080 - 600) / 2);
    EXPECT_EQ(p.Left, (1920 - 800) / 2);
    EXPECT_EQ(p.Volume, 10000);
    EXPECT_EQ(p.RenameFormat, "yyyymmdd_hh.nn.ss_am/pm");
    EXPECT_EQ(p.AddDatecodeFormat, "yyyy.mm.dd_hh.nn.ss_am/pm");
    EXPECT_EQ(p.RenameRoot, "ClipDV_");
    EXPECT_EQ(p.SaveFolder, "/home/ann/Documents");
    EXPECT_EQ(p.VarnoltProgram, "/usr/bin/varnolt");

    // A failure before "Frequence DV" leaves the value it had before the load.
    WriteFile(userFile(), kSection + "Top=high\nFrequence DV=1\n");
    Preferences q;
    q.DvAudioRate = 0;
    EXPECT_EQ(LoadPreferences(q, env), LoadOutcome::Fallback);
    EXPECT_EQ(q.DvAudioRate, 0);
}

TEST_F(PreferencesStoreTest, AWrongValueInTheIniFileTakesOnlyThatKeysDefault) {
    WriteFile(iniFile(), kSection + "Volume=loud\nBorder Size=3\nOrdre de la Liste=258\n");
    Preferences p;
    EXPECT_EQ(LoadPreferences(p, env), LoadOutcome::Read);
    EXPECT_EQ(p.Volume, 10000);
    EXPECT_EQ(p.BorderSize, 3);
    EXPECT_EQ(p.ListOrder, 2);  // a byte keeps the low 8 bits
}

TEST_F(PreferencesStoreTest, CorruptOrUnreadableStoresGiveTheFallbackWithoutHarm) {
    WriteFile(userFile(), std::string("\xFF\xFE[\0garbage", 11));
    Preferences p;
    EXPECT_EQ(LoadPreferences(p, env), LoadOutcome::Fallback);
    EXPECT_EQ(p.SaveFolder, "/home/ann/Documents");
    // The next store replaces the corrupt file with a good one.
    StorePreferences(p, env);
    EXPECT_EQ(load().BorderSize, 0);

    // A folder where the store should be cannot be read nor replaced.
    fs::remove(userFile());
    fs::create_directories(userFile());
    EXPECT_EQ(LoadPreferences(p, env), LoadOutcome::Fallback);
    StorePreferences(p, env);
    EXPECT_TRUE(fs::is_directory(userFile()));
}

// A file and a link beside the store, under the name the store was once written under before
// it replaced the old one, are the user's: a store neither opens nor removes them.
TEST_F(PreferencesStoreTest, NamesBesideTheStoreAreLeftAlone) {
    Preferences p = load();
    StorePreferences(p, env);
    fs::path beside = userFile();
    beside += ".new";
    WriteFile(beside, "mine");
    WriteFile(dir / "elsewhere", "kept");
    p.Volume = 7;
    StorePreferences(p, env);
    EXPECT_EQ(ReadFile(beside), "mine");
    fs::remove(beside);
    fs::create_symlink(dir / "elsewhere", beside);
    p.Volume = 8;
    StorePreferences(p, env);
    EXPECT_EQ(ReadFile(dir / "elsewhere"), "kept");
    EXPECT_TRUE(fs::is_symlink(beside));
    EXPECT_EQ(load().Volume, 8);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(userFile().parent_path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{userFile().filename().string(),
                                               beside.filename().string()}));
}

TEST_F(PreferencesStoreTest, AStoreThatCannotBeWrittenFailsSilently) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    WriteFile(iniFile(), kSection + "Volume=5\n");
    fs::permissions(iniFile(), fs::perms::owner_read);
    Preferences p = load();
    p.Volume = 6;
    StorePreferences(p, env);
    EXPECT_EQ(ReadFile(iniFile()), kSection + "Volume=5\n");
}

TEST_F(PreferencesStoreTest, TheFontSectionIsReadOnlyWhenItExists) {
    WriteFile(userFile(), kSection + "[\\Software\\Quennel\\Kelvor\\IncrustFont]\n" +
                              "Size=30\nColor=0xFF00\nName=\nBold=0\nStrikeOut=true\n");
    const Preferences p = load();
    EXPECT_EQ(p.InlayFont, (InlayFontSettings{30, 0xFF00, "Arial", false, false, false, true}));
}

TEST_F(PreferencesStoreTest, DeleteReportsNotFoundWhenNothingExists) {
    ScriptedHost host;
    host.answers = {true};
    DeletePreferences(env, host);
    EXPECT_EQ(host.log, (std::vector<std::string>{
                            "ask-warning: Do you really want to delete the preferences of Kelvor",
                            "warning: The preferences of Kelvor were not found on your system."}));
}

TEST_F(PreferencesStoreTest, DeleteRemovesBothStoresOnlyAfterYes) {
    WriteFile(iniFile(), kSection);
    WriteFile(userFile(), kSection);
    fs::permissions(iniFile(), fs::perms::owner_read);

    ScriptedHost no;
    no.answers = {false};
    DeletePreferences(env, no);
    EXPECT_EQ(no.log.size(), 1u);
    EXPECT_TRUE(fs::exists(iniFile()));

    ScriptedHost yes;
    yes.answers = {true};
    DeletePreferences(env, yes);
    ASSERT_EQ(yes.log.size(), 2u);
    EXPECT_EQ(yes.log[1], "information: Kelvor has been completely deleted from your system.");
    EXPECT_FALSE(fs::exists(iniFile()));
    EXPECT_FALSE(fs::exists(env.Locations.UserFolder()));

    // Another product of the maker keeps the maker's folder.
    WriteFile(userFile(), kSection);
    WriteFile(env.Locations.UserFolder() / "Varnolt.conf", "");
    ScriptedHost again;
    again.answers = {true};
    DeletePreferences(env, again);
    EXPECT_FALSE(fs::exists(userFile()));
    EXPECT_TRUE(fs::exists(env.Locations.UserFolder() / "Varnolt.conf"));
}

TEST_F(PreferencesStoreTest, AFailedDeleteIsNotReportedAsSuccess) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    WriteFile(userFile(), kSection);
    fs::permissions(env.Locations.UserFolder(), fs::perms::owner_read | fs::perms::owner_exec);
    ScriptedHost host;
    host.answers = {true};
    DeletePreferences(env, host);
    fs::permissions(env.Locations.UserFolder(), fs::perms::owner_all);
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log[1], "warning: " + NotDeletedText());
    EXPECT_TRUE(fs::exists(userFile()));
}

TEST(PreferenceKeys, EveryFieldIsReachableByItsKey) {
    Preferences p;
    p.DisplayDatecodeFormat = "yyyy";
    const auto* key = FindMainKey("Format pour Afficher Datecode");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(p.*std::get<std::string Preferences::*>(key->Member), "yyyy");
    EXPECT_EQ(FindMainKey("format pour afficher datecode"), nullptr);
    EXPECT_EQ(MainKeys().front().Key, "Top");
    EXPECT_EQ(MainKeys().back().Key, "POrtable Drive");
    EXPECT_EQ(MainKeys().size(), 44u);
    EXPECT_EQ(FontKeys().size(), 7u);
}

}  // namespace
}  // namespace kelvor::settings

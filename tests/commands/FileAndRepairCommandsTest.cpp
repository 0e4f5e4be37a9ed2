// The file and viewer commands, the in-place header repairs, and what the conversion commands
// already know before their graphs exist: conditions, questions and output names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "commands/CommandTexts.h"
#include "commands/CommandsTestSupport.h"
#include "core/avi/PositionedFile.h"

namespace kelvor::commands {
namespace {

using test::Commands;

constexpr const char* kPal2 = "type=2 frames=3 date=2024-01-01T10:00:00";

std::uint32_t At(const std::string& path, std::int64_t offset) {
    auto f = avi::DiskFile::open(path);
    std::uint8_t b[4]{};
    f->readAt(static_cast<std::uint64_t>(offset), b);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

mode_t Mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(DeleteFile, YesToAllSendsThemToTheTrashAndPassesOverAReadOnlyOne) {
    Commands c;
    for (const char* n : {"a.avi", "b.avi", "c.avi"})
        kelvor::test::WriteFile(c.dir / n, "x");
    ::chmod(c.path("b.avi").c_str(), 0444);
    c.select({c.path("a.avi"), c.path("b.avi"), c.path("c.avi")});
    c.host.answers = {Answer::YesToAll};
    c.run("SupprimerFichier");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(
        c.host.questions[0].Message,
        "Do you really want to delete a.avi ?\r\nIf yes, it will be sent to the Recycle bin.");
    EXPECT_EQ(c.trash.recycled, (std::vector<std::string>{c.path("a.avi"), c.path("c.avi")}));
    ASSERT_EQ(c.list.Count(), 1);
    EXPECT_EQ(c.list.Item(0).Text, "b.avi");
    EXPECT_TRUE(c.exists("b.avi"));
}

TEST(RemoveFromList, TakesTheFilesOutOfTheListOnly) {
    Commands c;
    kelvor::test::WriteFile(c.dir / "a.avi", "x");
    kelvor::test::WriteFile(c.dir / "b.avi", "x");
    c.select({c.path("a.avi"), c.path("b.avi")});
    c.run("oterfichier");
    EXPECT_EQ(c.list.Count(), 0);
    EXPECT_TRUE(c.exists("a.avi") && c.exists("b.avi"));
    EXPECT_TRUE(c.host.questions.empty());
}

TEST(ExternalPrograms, EachFileStartsItsOwnProgramInListOrder) {
    Commands c;
    std::vector<std::string> files;
    for (const char* n : {"e.avi", "a.avi", "d.avi", "b.avi", "c.avi"}) {
        kelvor::test::WriteFile(c.dir / n, "x");
        files.push_back(c.path(n));
    }
    c.select(files);
    // Without its program the command is not available and starts nothing.
    c.run("OpenFichierF3");
    EXPECT_TRUE(c.host.programs.empty());
    kelvor::test::WriteFile(c.dir / "f3", "");
    c.prefs.F3Program = c.path("f3");
    c.run("OpenFichierF3");
    ASSERT_EQ(c.host.programs.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const std::string name(1, static_cast<char>('a' + i));
        EXPECT_EQ(c.host.programs[static_cast<std::size_t>(i)],
                  (std::pair<std::string, std::vector<std::string>>{c.path("f3"),
                                                                    {c.path(name + ".avi")}}));
    }

    // The image-grabbing program gets the path twice, the second time as its +F= switch.
    c.host.programs.clear();
    c.prefs.VarnoltProgram = c.path("f3");
    c.list.UnselectAll();
    c.list.Select(0);
    c.run("Varnolt");
    ASSERT_EQ(c.host.programs.size(), 1u);
    EXPECT_EQ(c.host.programs[0].second,
              (std::vector<std::string>{c.path("a.avi"), "+F=" + c.path("a.avi")}));
}

TEST(ViewerCommands, TheSlidersSwitchTheInlayOnAndLeaveIt) {
    Commands c;
    c.make("a.avi", kPal2);
    c.select({c.path("a.avi")});
    c.run("AfficherSliders");
    EXPECT_TRUE(c.prefs.IsInlayOn);
    EXPECT_TRUE(c.prefs.InlaySlidersVisible);
    c.run("AfficherSliders");
    EXPECT_TRUE(c.prefs.IsInlayOn);
    EXPECT_FALSE(c.prefs.InlaySlidersVisible);
    EXPECT_EQ(c.host.inlay,
              (std::vector<std::string>{"inlay on", "sliders on", "sliders off volume"}));
    c.run("AfficherIncrustation");
    EXPECT_FALSE(c.prefs.IsInlayOn);
    c.run("RiffHeader");
    c.run("DossierParent");
    c.run("DefaultPlayer");
    EXPECT_EQ(c.host.riffReports, std::vector<std::string>{c.path("a.avi")});
    ASSERT_EQ(c.host.programs.size(), 2u);
    EXPECT_EQ(c.host.programs[0].first, "file manager");
    EXPECT_EQ(c.host.programs[1].first, "open");
}

TEST(FixFrameRate, PatchesAReadOnlyFileAndLeavesItReadOnly) {
    Commands c;
    const std::string a = c.make("a.avi", kPal2);
    c.make("t1.avi", "type=1 frames=3 date=2024-01-01T10:00:00");
    ::chmod(a.c_str(), 0444);
    c.select({a, c.path("t1.avi")});
    c.commandModule.TargetFps = 29.97;
    c.host.answers = {Answer::YesToAll};
    c.run("CorrigerFps");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you really want to change the fps value from 25 to 29.97?");
    // A DV type 1 file's rate follows its standard: the command does not apply.
    ASSERT_EQ(c.host.skipped.size(), 1u);
    EXPECT_EQ(c.host.skipped[0].first, "t1.avi");
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_TRUE(c.host.outcomes[0].second.Succeeded()) << c.host.outcomes[0].second.Failure;
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Modify);
    const avi::HeaderFieldOffsets at = c.patcher.LocateHeaderFields(a);
    EXPECT_EQ(At(a, at.ScaleOffset), 33367u);
    EXPECT_EQ(At(a, at.ScaleOffset + 4), 1000000u);
    EXPECT_EQ(Mode(a), 0444u);
    EXPECT_EQ(c.host.preview, (std::vector<std::string>{"release " + a, "reload " + a}));
}

TEST(FixCodec, TwoLettersLeaveZeroBytes) {
    Commands c;
    const std::string a = c.make("a.avi", kPal2);
    c.select({a});
    c.commandModule.TargetCodec = "dv";
    c.host.answers = {Answer::Yes};
    c.run("CorrigerCodec");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you really want to change the codec from dvsd to dv?");
    const avi::HeaderFieldOffsets at = c.patcher.LocateHeaderFields(a);
    EXPECT_EQ(At(a, at.CodecOffset), 0x7664u);
    EXPECT_EQ(At(a, at.CompressionOffset), 0x7664u);
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Modify);

    // A file with no video stream header: nothing written, and the file says so.
    kelvor::test::WriteFile(c.dir / "b.avi", "not a video");
    c.list.Clear();
    c.select({c.path("b.avi")});
    c.host.answers = {Answer::Yes};
    c.run("CorrigerCodec");
    EXPECT_EQ(c.host.outcomes.back().second.Update, ListUpdate::None);
    EXPECT_FALSE(c.host.outcomes.back().second.Failure.empty());
    EXPECT_EQ(kelvor::test::ReadFile(c.dir / "b.avi"), "not a video");
}

TEST(Conversions, ConditionsQuestionsAndOutputNames) {
    Commands c;
    c.make("pal.avi", kPal2);
    c.make("ntsc.avi", "type=2 standard=ntsc frames=3 date=2024-01-01T10:00:00");
    kelvor::test::WriteFile(c.dir / "pal_ntsc.avi", "earlier output");
    c.select({c.path("pal.avi"), c.path("ntsc.avi")});
    c.host.answers = {Answer::No};
    c.run("Ntsc");
    ASSERT_EQ(c.host.questions.size(), 1u);
    EXPECT_EQ(c.host.questions[0].Message,
              "Do you want to replace the existing file " + c.path("pal_ntsc.avi") + " ?");
    // NTSC into NTSC is not offered.
    ASSERT_EQ(c.host.skipped.size(), 2u);
    EXPECT_EQ(c.host.skipped[0].first, "ntsc.avi");

    c.list.SelectAll();
    c.host.answers = {Answer::YesToAll};
    c.run("Ntsc");
    ASSERT_EQ(c.host.outcomes.size(), 1u);
    EXPECT_EQ(c.host.outcomes[0].second.Update, ListUpdate::Add);
    EXPECT_TRUE(c.host.outcomes[0].second.Succeeded()) << c.host.outcomes[0].second.Failure;
    EXPECT_EQ(c.host.outcomes[0].second.NewPath, c.path("pal_ntsc.avi"));
    EXPECT_NE(kelvor::test::ReadFile(c.dir / "pal_ntsc.avi"), "earlier output");

    const files::FileRecord& pal = *c.list.Item(c.list.FindItem(c.path("pal.avi"))).Record;
    EXPECT_EQ(c.commandModule.OutputPath(pal, "_ntsc.avi"), c.path("pal_ntsc.avi"));
    c.prefs.SaveInSameFolder = false;
    c.prefs.SaveFolder = "/out/";
    EXPECT_EQ(c.commandModule.OutputPath(pal, "_ntsc.avi"), "/out/pal_ntsc.avi");
    EXPECT_EQ(c.commandModule.SceneOutputPath(pal, 0), "/out/pal_scene_0.avi");

    EXPECT_EQ(CommandModule::TimeDifferenceSuffix(1.0 / 24), "_(+1h).avi");
    EXPECT_EQ(CommandModule::TimeDifferenceSuffix(-(2 + 3.5 / 24)), "_(-2days3h30mn).avi");
    EXPECT_EQ(CommandModule::TimeDifferenceSuffix(1 + 30.0 / 1440), "_(+1days30mn).avi");
}

TEST(CommandModule, TheTableNamesCaptionsAndTemplates) {
    Commands c;
    ASSERT_EQ(c.commandModule.Commands().size(), 41u);
    EXPECT_EQ(c.commandModule.Commands().front()->Name, "ShowInFolder");
    EXPECT_EQ(c.commandModule.CommandMap.size(), 41u);
    // The English name and the historic one both find a command, in any case.
    EXPECT_EQ(c.commandModule.Find("tontsc"), &c.commandModule.ToNtsc);
    EXPECT_EQ(c.commandModule.Find("ntsc"), &c.commandModule.ToNtsc);
    EXPECT_EQ(c.commandModule.Find("AjouterDateCode"), &c.commandModule.AddDatecode);
    EXPECT_EQ(c.commandModule.ToNtsc.Switch(), "n");
    EXPECT_EQ(c.commandModule.InlayDatecode.ProgressMessage, "Inlaying the datecode into \"%s\"");
    EXPECT_EQ(c.commandModule.RenameToDate.Caption, "Rename ");
    EXPECT_TRUE(c.commandModule.CutScenes.Caption.empty());
    // A template that names no command fills in nothing.
    EXPECT_EQ(c.commandModule.ExportXlsxByDate.Template, "CreateScenes");
    EXPECT_FALSE(c.commandModule.ExportXlsxByDate.CanStart);
    // Every command can run, and every letter of the table runs its own command.
    std::size_t lettered = 0;
    for (const Command* a : c.commandModule.Commands()) {
        EXPECT_TRUE(a->Execute) << a->Name;
        for (const char letter : a->Letters) {
            const CommandInfo* row = CommandForLetter(letter);
            ASSERT_NE(row, nullptr) << letter;
            EXPECT_EQ(c.commandModule.Find(row->Name), a) << letter;
        }
        lettered += !a->Letters.empty();
    }
    EXPECT_EQ(lettered, 24u);
}

// A file whose second write fails: the first field is put back.
class FailingFile : public avi::PositionedFile {
  public:
    explicit FailingFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::vector<std::uint8_t> bytes_;
    int writes = 0;
    int failAt = 2;

  private:
    std::optional<std::size_t> doReadAt(std::uint64_t at, std::span<std::uint8_t> out) override {
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), out.size(), out.begin());
        return out.size();
    }
    bool doWriteAt(std::uint64_t at, std::span<const std::uint8_t> in) override {
        if (++writes == failAt) {
            bytes_[at] = 0xEE;  // a partial write
            return false;
        }
        std::copy(in.begin(), in.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }
};

TEST(HeaderRepairs, AWriteThatFailsLeavesEveryByteAsItWas) {
    std::vector<std::uint8_t> original(32);
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<std::uint8_t>(i);
    FailingFile file(original);
    avi::AviHeaderPatcher::FieldWrite fields[2];
    fields[0].Offset = 4;
    fields[1].Offset = 20;
    for (auto& f : fields) {
        f.Size = 4;
        std::fill_n(f.Bytes, 4, 0x55);
    }
    EXPECT_FALSE(avi::AviHeaderPatcher::PatchFields(file, fields));
    EXPECT_EQ(file.bytes_, original);
    file.failAt = 0;
    EXPECT_TRUE(avi::AviHeaderPatcher::PatchFields(file, fields));
    EXPECT_EQ(file.bytes_[4], 0x55);
    EXPECT_EQ(file.bytes_[23], 0x55);
}

}  // namespace
}  // namespace kelvor::commands

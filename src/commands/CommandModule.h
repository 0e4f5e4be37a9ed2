// The command module: one Command per command, in the order of the command table, every
// handler, the map from lower-case names to commands, and the values some commands share with
// their dialogs and the script (CorrectionShift, TargetFps, TargetCodec) and with the graph
// worker (the cut's scene list).
//
// The program entry creates one CommandModule after the window and hands it the services below; it
// lives for the program's life and owns its components. Threads: Start, LinkCommands and the shared
// values belong to the front end's thread; the handlers run where the run calls them (conditions,
// confirmations and executions of file and graph runs on the worker's thread, mono runs on the
// caller's), one run at a time. Handlers catch their own failures and report them in the
// execution's result; only a graph execution may let an exception escape, which the graph worker
// reports.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/Command.h"
#include "commands/CommandHost.h"
#include "core/files/DatePattern.h"
#include "core/scenes/SceneList.h"
#include "core/settings/Preferences.h"

namespace kelvor::avi {
class AviHeaderPatcher;
}
namespace kelvor::media {
class ConversionGraphs;
}
namespace kelvor::shell {
class DesktopServices;
}

namespace kelvor::commands {

class RunControl;
struct ExportScene;

// What the handlers work with, owned by the program entry and outliving the module.
struct CommandServices {
    settings::Preferences& Prefs;
    media::ConversionGraphs& Graphs;
    avi::AviHeaderPatcher& Patcher;
    shell::DesktopServices& Desktop;  // the trash
    CommandHost& Host;
    LocaleInfo Locale = EnglishLocale();
    // The front end's stop flags, which the long executions that run no graph read; may be null.
    const RunControl* Control = nullptr;
};

class CommandModule {
  public:
    explicit CommandModule(CommandServices services);
    CommandModule(const CommandModule&) = delete;
    CommandModule& operator=(const CommandModule&) = delete;

    // Builds CommandMap and sets the English captions and progress messages.
    void Start();
    // Fills the handlers a command lacks from its template (a template that names no command
    // has no effect).
    void LinkCommands();
    // The command of that name, compared without regard to case; null when there is none.
    Command* Find(std::string_view name);
    // Every command in table order.
    const std::vector<Command*>& Commands() const { return commands_; }

    // Lower-case name -> command, built by Start.
    std::map<std::string, Command*> CommandMap;

    // The commands; Commands() gives them in table order.
    Command ShowInFolder, DeleteFile, RemoveFromList, RiffReport, PlayInDefaultPlayer, AddTimecode,
        AddDatecode, ShortenName, SetFileDate, RenameToDate, ToType1, ToType2, ToNtsc, ToPal,
        InlayDatecode, RecompressToDv, ScenesByDate, DeleteScn, ExtractAudio, FixFrameRate,
        ExportTextByDate, OpenInVarnolt, ShowInlay, ShowInlaySliders, ShiftTime, FixCodec, FixType2,
        OpenWithF3, OpenWithF4, MakeSrt, DeleteSrt, ScenesByContent, ExportTextFromScn,
        ExportTextByContent, ExportXlsxFromScn, ExportXlsxByDate, ExportXlsxByContent, ExportXlsx,
        ExportText, CutScenes, ExportMp4;

    // Values set by the dialogs (or a script) before their command runs.
    double CorrectionShift = 0;  // days, for ShiftTime
    double TargetFps = 25;       // for FixFrameRate
    std::string TargetCodec;     // up to four characters, for FixCodec
    // The scenes of the file being cut and the scene of the current pass.
    scenes::SceneList CutSceneList;
    int CutSceneIndex = 0;
    // The MP4 export's choices for the next run (kelvor-cli's options); an empty text or a
    // negative number takes the preference.
    struct Mp4Choices {
        bool Whole = false;
        bool DoubleRate = false;
        std::string TimeZone;
        std::string NamePattern;
        std::string Preset;
        int Crf = -1;
        double InlaySeconds = -1;  // the burnt date's seconds per scene; 0 none
    } Mp4;
    // The date pattern of the MP4 names.
    std::string Mp4Pattern() const;
    // The files the MP4 export writes for those scenes (one with Mp4.Whole), free names in the
    // output folder, "(n)" added on a collision.
    std::vector<std::string> PlanMp4Outputs(const files::FileRecord& video,
                                            const std::vector<ExportScene>& scenes) const;
    // The rename commands name the new file without renaming (kelvor-cli --dry-run); names they
    // would take count as taken for the files after them.
    bool DryRun = false;

    // Before the first pass on a file, the cut command's scene list from the file's scn file
    // (the scenes before any damage); the number of passes.
    int LoadCutScenes(const files::FileRecord& video);
    // One frame of the video in 100 ns units, from the processed file's own rate (not the rate
    // of whichever file a panel shows), ties to even; 0 without video. The cut turns scene
    // frames into positions with it.
    static std::int64_t FrameDuration(const files::FileRecordMedia& video);

    // --- The steps shared by every graph command (GraphCommandRun): the conversion graph torn
    // down, built, its duration read, the command's own preparation, the reference clock
    // removed, the update set (ListUpdate::Add with the output, or the given update when the
    // command keeps the video) and the graph run; the graph worker then waits for it.
    struct GraphRun {
        std::function<bool()> Build;
        std::function<void()> Prepare;  // may be empty
        ListUpdate Update = ListUpdate::Add;
        std::string NewPath;
        // The length of the run in 100 ns units; empty: the duration of ProgressSeeking. The cut
        // positions the graph here and answers its scene's length.
        std::function<std::int64_t()> Duration;
    };
    void GraphCommandRun(ExecutionResult& result, const GraphRun& run);
    // The scene detection by date with the sinks a request names, for the date commands and
    // kelvor-cli scenes.
    struct DateSinks {
        bool Scn = false;
        bool Text = false;
        bool Spreadsheet = false;
        bool Subtitles = false;
    };
    void DetectByDate(const files::FileRecord& video, const DateSinks& sinks,
                      ExecutionResult& result);

    // The scene detection by content with the sink a request names, for the content commands.
    enum class ContentSink { Scn, Text, Spreadsheet };
    void DetectByContent(const files::FileRecord& video, ContentSink sink, ExecutionResult& result);
    // The audio rate step: the first five characters of the file's AudioText, trimmed, as the
    // output rate of resampler1 (and resampler2 when both); nothing when they are not a number.
    void AudioRateStep(const files::FileRecord& video, bool both);
    // That rate, or 0.
    static int AudioTextRate(const std::string& audioText);

    // Output names.
    std::string OutputPath(const files::FileRecord& video, std::string_view suffix) const;
    // The suffix of ShiftTime for a difference in days: "_(+1h).avi".
    static std::string TimeDifferenceSuffix(double days);
    // The scene video k of a cut.
    std::string SceneOutputPath(const files::FileRecord& video, int k) const;

    const CommandServices& Services() const { return s_; }

  private:
    template <typename... A>
    auto bind(void (CommandModule::*handler)(A...)) {
        return [this, handler](A... a) { (this->*handler)(std::forward<A>(a)...); };
    }
    void wire();
    void texts();

    // Renames (rename and file-date commands).
    void addDatecodeAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void addDatecodeConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void addDatecodeExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void addTimecodeAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void addTimecodeConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void addTimecodeExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void renameToDateConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void renameToDateExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void shortenNameAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void shortenNameConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void shortenNameExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void setFileDateConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void setFileDateExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    // The proposed base (path without its extension) of each rename, before the collision rule.
    std::string datecodeBase(const files::FileRecord& f) const;
    std::string timecodeBase(const files::FileRecord& f) const;
    std::string rootBase(const files::FileRecord& f) const;
    std::string shortenedBase(const files::FileRecord& f) const;
    // The collision rule: the free base for a proposed one.
    std::string freeBase(const std::string& proposed, const std::string& extension) const;
    void renameTo(const files::FileRecord& f, const std::string& proposed, ExecutionResult& result);
    // Renames the video's scn and srt files after it (already renamed to result.NewFile); when
    // one cannot follow, every rename is undone and the result says why.
    void moveCompanions(const files::FileRecord& f, const std::string& newBase,
                        ExecutionResult& result);

    // Conversions and repairs.
    void toType1AppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void toType2AppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void toNtscAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void toPalAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void inlayDatecodeAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void recompressToDvAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void extractAudioAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void fixType2AppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void shiftTimeAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void fixFrameRateAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    // The file is an AVI file (the header repairs and the RIFF report).
    void aviFileAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void fixFrameRateConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void fixFrameRateExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void fixCodecConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void fixCodecExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void toType1Execute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void toType2Execute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void toNtscExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void toPalExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void inlayDatecodeExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void recompressToDvExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void extractAudioExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void fixType2Execute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportMp4AppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void exportMp4Execute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void shiftTimeExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    // A conversion into the output its suffix names, through the graph `build` makes for
    // (video, output), with the command's own preparation.
    void convert(
        const files::FileRecord& f, const std::string& output,
        const std::function<bool(const std::string& video, const std::string& output)>& build,
        const std::function<void()>& prepare, ExecutionResult& result,
        ListUpdate update = ListUpdate::Add);
    // The standard conversion into PAL (1) or NTSC (2).
    void standardConversion(const files::FileRecord& f, int standard, std::string_view suffix,
                            ExecutionResult& result);
    // The replacement question of a conversion, on the output its suffix names.
    void conversionConfirmation(const files::FileRecord& f, std::string_view suffix,
                                std::string& msg) const;

    // Scenes.
    void dvAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void videoAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void scnAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void srtAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void sceneExportAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void cutScenesAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void scnReplaceConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void srtReplaceConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void textReplaceConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void spreadsheetReplaceConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void deleteScnConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void deleteSrtConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void cutScenesConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void scenesByDateExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void makeSrtExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportTextByDateExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportXlsxByDateExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportTextFromScnExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportXlsxFromScnExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportTextExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportXlsxExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void scenesByContentExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportTextByContentExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void exportXlsxByContentExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void cutScenesExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void deleteScnExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void deleteSrtExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);

    // Files and viewer.
    void removeFromListExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void deleteFileAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void deleteFileConfirm(CommandParam&, const files::FileRecord&, std::string&);
    void deleteFileExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void showInFolderExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void playInDefaultPlayerExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void openInVarnoltCanStart(CommandParam&, bool&);
    void openInVarnoltExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void openWithF3CanStart(CommandParam&, bool&);
    void openWithF3Execute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void openWithF4CanStart(CommandParam&, bool&);
    void openWithF4Execute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void riffReportExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void inlayAppliesTo(CommandParam&, const files::FileRecord&, bool&, bool&);
    void showInlayExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    void showInlaySlidersExecute(CommandParam&, const files::FileRecord&, ExecutionResult&);
    bool toggleInlay();

    CommandServices s_;
    std::vector<Command*> commands_;
    // Names a dry run has given out.
    mutable std::set<std::string> dryRunTaken_;
};

// One row of the command table: what the module, the script parser, the help texts and the
// window's actions know of a command. Pure data; any thread may read it.
struct CommandInfo {
    Command CommandModule::*Member;
    const char* Name;   // English, the name front ends show
    const char* Alias;  // the historic name, still accepted
    const char* Caption;
    const char* ProgressMessage;
    RunsAs Runs;
    const char* Letters;  // script letters, upper case, or ""
    const char* Template;
    const char* Requirement;
    CommandAction Action;  // no menu: no window action
};
// Every row, in table order (the commands of a menu in the menu's order).
std::span<const CommandInfo> CommandTable();
// The row of that name or alias, compared without regard to case; null when there is none.
const CommandInfo* FindCommandInfo(std::string_view name);
// The row whose script letters hold `letter` (upper case); null for none.
const CommandInfo* CommandForLetter(char letter);

// The image of a command's action after the inlay toggles: 18 "show", 21 "hide".
inline constexpr int kImageShowInlay = 18;
inline constexpr int kImageHideInlay = 21;

}  // namespace kelvor::commands

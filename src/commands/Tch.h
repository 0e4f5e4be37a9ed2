// The command module: one tFileAction per command, in the order of the command table, every
// handler, the map from lower-case names to commands, and the values some commands share with
// their dialogs and the script (CorrectionShift, TargetFps, TargetCodec) and with the graph
// worker (the cut's scene list).
//
// The program entry creates one Tch after the window and hands it the services below; it lives
// for the program's life and owns its components. Threads: Start, LinkCommands and the shared
// values belong to the front end's thread; the handlers run where the run calls them (conditions,
// confirmations and executions of file and graph runs on the worker's thread, mono runs on the
// caller's), one run at a time. Handlers catch their own failures and report them in the
// execution's result; only a graph execution may let an exception escape, which the graph worker
// reports.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandHost.h"
#include "commands/FileAction.h"
#include "core/files/DatePattern.h"
#include "core/scenes/SceneList.h"
#include "core/settings/Preferences.h"

namespace kelvor::avi {
class AviHeaderPatcher;
}
namespace kelvor::media {
class TCdm;
}
namespace kelvor::shell {
class DesktopServices;
}

namespace kelvor::commands {

// What the handlers work with, owned by the program entry and outliving the module.
struct TchServices {
    settings::Preferences& Prefs;
    media::TCdm& Cdm;
    avi::AviHeaderPatcher& Patcher;
    shell::DesktopServices& Desktop;  // the trash
    CommandHost& Host;
    LocaleInfo Locale = EnglishLocale();
};

class Tch {
  public:
    explicit Tch(TchServices services);
    Tch(const Tch&) = delete;
    Tch& operator=(const Tch&) = delete;

    // Builds CommandMap and sets the English captions and progress messages.
    void Start();
    // Fills the handlers a command lacks from its template (a template that names no command
    // has no effect).
    void LinkCommands();
    // The command of that name, compared without regard to case; null when there is none.
    tFileAction* Find(std::string_view name);
    // Every command in table order.
    const std::vector<tFileAction*>& Commands() const { return commands_; }

    // Lower-case name -> command, built by Start.
    std::map<std::string, tFileAction*> CommandMap;

    // The components, in table order.
    tFileAction DossierParent, SupprimerFichier, oterfichier, RiffHeader, DefaultPlayer,
        AjouterTimecode, AjouterDateCode, PurgerNom, FileDate, RenameScAn, DVtype1, DVType2, Ntsc,
        Pal, IncrusterDatecode, ConvertirDV, CreerScnFromDate, SupprimerScn, ExtraireAudio,
        CorrigerFps, ScenesTextFromDate, Varnolt, AfficherIncrustation, AfficherSliders,
        DecalerHoraire, CorrigerCodec, CorrigerType2, OpenFichierF3, OpenFichierF4, Creer_srt,
        Supprimer_srt, CreerScnContenu, ScenesTextFromScn, ScenesTextFromContenu,
        ScenesExcelFromScn, ScenesExcelfromDate, ScenesExcelFromContenu, ScenesExcel, ScenesText,
        CutScenes;

    // Values set by the dialogs (or a script) before their command runs.
    double CorrectionShift = 0;  // days, for DecalerHoraire
    double TargetFps = 25;       // for CorrigerFps
    std::string TargetCodec;     // up to four characters, for CorrigerCodec
    // The scenes of the file being cut and the scene of the current pass.
    scenes::SceneList CutSceneList;
    int CutSceneIndex = 0;
    // The rename commands name the new file without renaming (kelvor-cli --dry-run); names they
    // would take count as taken for the files after them.
    bool DryRun = false;

    // Before the first pass on a file, the cut command's scene list from the file's scn file
    // (the scenes before any damage); the number of passes.
    int LoadCutScenes(const files::TAfficherFichier& video);
    // One frame of the video in 100 ns units, from the processed file's own rate (not the rate
    // of whichever file a panel shows), ties to even; 0 without video. The cut turns scene
    // frames into positions with it.
    static std::int64_t FrameDuration(const files::TaviFichier& video);

    // --- The steps shared by every graph command (GraphCommandRun): the conversion graph torn
    // down, built, its duration read, the command's own preparation, the reference clock
    // removed, the update set (utAdd with the output, or the given update when the command
    // keeps the video) and the graph run; the graph worker then waits for it.
    struct GraphRun {
        std::function<bool()> Build;
        std::function<void()> Prepare;  // may be empty
        TchUpdateType Update = utAdd;
        std::string NewPath;
        // The length of the run in 100 ns units; empty: the duration of ProgressSeeking. The cut
        // positions the graph here and answers its scene's length.
        std::function<std::int64_t()> Duration;
    };
    void GraphCommandRun(TExecutionResult& result, const GraphRun& run);
    // The scene detection by date with the sinks a request names, for the date commands and
    // kelvor-cli scenes.
    struct DateSinks {
        bool Scn = false;
        bool Text = false;
        bool Spreadsheet = false;
        bool Subtitles = false;
    };
    void DetectByDate(const files::TAfficherFichier& video, const DateSinks& sinks,
                      TExecutionResult& result);

    // The scene detection by content with the sink a request names, for the content commands.
    enum class ContentSink { Scn, Text, Spreadsheet };
    void DetectByContent(const files::TAfficherFichier& video, ContentSink sink,
                         TExecutionResult& result);
    // The audio rate step: the first five characters of the file's AudioText, trimmed, as the
    // output rate of acm1 (and acm2 when both); nothing when they are not a number.
    void AudioRateStep(const files::TAfficherFichier& video, bool both);
    // That rate, or 0.
    static int AudioTextRate(const std::string& audioText);

    // Output names.
    std::string OutputPath(const files::TAfficherFichier& video, std::string_view suffix) const;
    // The suffix of DecalerHoraire for a difference in days: "_(+1h).avi".
    static std::string TimeDifferenceSuffix(double days);
    // The scene video k of a cut.
    std::string SceneOutputPath(const files::TAfficherFichier& video, int k) const;

    const TchServices& Services() const { return s_; }

  private:
    template <typename... A>
    auto bind(void (Tch::*handler)(A...)) {
        return [this, handler](A... a) { (this->*handler)(std::forward<A>(a)...); };
    }
    void wire();
    void texts();

    // Renames (rename and file-date commands).
    void AjouterDateCodeFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void AjouterDateCodeConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void AjouterDateCodeExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void AjouterTimecodeFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void AjouterTimecodeConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void AjouterTimecodeExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void RenameScAnConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void RenameScAnExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void PurgerNomFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void PurgerNomConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void PurgerNomExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void FileDateConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void FileDateExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    // The proposed base (path without ".avi") of each rename, before the collision rule.
    std::string datecodeBase(const files::TAfficherFichier& f) const;
    std::string timecodeBase(const files::TAfficherFichier& f) const;
    std::string rootBase(const files::TAfficherFichier& f) const;
    std::string shortenedBase(const files::TAfficherFichier& f) const;
    // The collision rule: the free base for a proposed one.
    std::string freeBase(const std::string& proposed) const;
    void renameTo(const files::TAfficherFichier& f, const std::string& proposed,
                  TExecutionResult& result);

    // Conversions and repairs.
    void DVtype1FileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void DVType2FileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void NtscFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void PalFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void IncrusterDatecodeFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void ConvertirDVFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void ExtraireAudioFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void CorrigerType2FileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void DecalerHoraireFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void CorrigerFpsFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void CorrigerFpsConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void CorrigerFpsExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void CorrigerCodecConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void CorrigerCodecExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void DVtype1Execution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void DVType2Execution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void NtscExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void PalExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void IncrusterDatecodeExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ConvertirDVExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ExtraireAudioExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void CorrigerType2Execution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void DecalerHoraireExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    // A conversion into the output its suffix names, through the graph `build` makes for
    // (video, output), with the command's own preparation.
    void convert(
        const files::TAfficherFichier& f, const std::string& output,
        const std::function<bool(const std::string& video, const std::string& output)>& build,
        const std::function<void()>& prepare, TExecutionResult& result,
        TchUpdateType update = utAdd);
    // The standard conversion into PAL (1) or NTSC (2).
    void standardConversion(const files::TAfficherFichier& f, int standard, std::string_view suffix,
                            TExecutionResult& result);
    // The replacement question of a conversion, on the output its suffix names.
    void conversionConfirmation(const files::TAfficherFichier& f, std::string_view suffix,
                                std::string& msg) const;

    // Scenes.
    void DVFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void VideoFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void ScnFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void SrtFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void ScenesExportFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void CutScenesFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void ScnReplaceConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void SrtReplaceConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void TextReplaceConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void SpreadsheetReplaceConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void SupprimerScnConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void Supprimer_srtConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void CutScenesConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void CreerScnFromDateExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void Creer_srtExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesTextFromDateExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesExcelfromDateExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesTextFromScnExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesExcelFromScnExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesTextExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesExcelExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void CreerScnContenuExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesTextFromContenuExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void ScenesExcelFromContenuExecution(TParam&, const files::TAfficherFichier&,
                                         TExecutionResult&);
    void CutScenesExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void SupprimerScnExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void Supprimer_srtExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);

    // Files and viewer.
    void oterfichierExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void SupprimerFichierFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void SupprimerFichierConfirmation(TParam&, const files::TAfficherFichier&, std::string&);
    void SupprimerFichierExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void DossierParentExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void DefaultPlayerExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void VarnoltGeneralCondition(TParam&, bool&);
    void VarnoltExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void OpenFichierF3GeneralCondition(TParam&, bool&);
    void OpenFichierF3Execution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void OpenFichierF4GeneralCondition(TParam&, bool&);
    void OpenFichierF4Execution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void RiffHeaderExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void InlayFileCondition(TParam&, const files::TAfficherFichier&, bool&, bool&);
    void AfficherIncrustationExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    void AfficherSlidersExecution(TParam&, const files::TAfficherFichier&, TExecutionResult&);
    bool toggleInlay();

    TchServices s_;
    std::vector<tFileAction*> commands_;
    // Names a dry run has given out.
    mutable std::set<std::string> dryRunTaken_;
};

// A command as the table lists it, for help texts: its name, English caption, how it runs and
// its switch letter (lower case, or empty).
struct CommandSummary {
    std::string Name;
    std::string Caption;
    RunsAs Runs;
    std::string Switch;
};
std::vector<CommandSummary> CommandSummaries();

// The image of a command's action after the inlay toggles: 18 "show", 21 "hide".
inline constexpr int kImageShowInlay = 18;
inline constexpr int kImageHideInlay = 21;

}  // namespace kelvor::commands

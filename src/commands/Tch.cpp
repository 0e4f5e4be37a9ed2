#include "commands/Tch.h"

#include <cmath>

#include "commands/CommandTexts.h"
#include "core/files/DateTime.h"
#include "core/files/Rounding.h"
#include "core/scenes/ScnFile.h"
#include "media/graphs/TCdm.h"

namespace kelvor::commands {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The command table: how each command runs, its switch letter, its template and the English
// texts Start sets.
struct Row {
    tFileAction Tch::*Member;
    const char* Name;
    const char* Caption;
    const char* Message;
    RunsAs Runs;
    const char* Switch;
    const char* Modele;
    const char* Requirement;
};

constexpr const char* kDvType2OrDvsd = "not a DV file of type 2 or with the codec dvsd";

const Row kTable[] = {
    {&Tch::DossierParent, "DossierParent", "Parent folder", "", RunsAs::Mono, "", "", ""},
    {&Tch::SupprimerFichier, "SupprimerFichier", "Delete the file", "", RunsAs::File, "o", "",
     "the file is read-only"},
    {&Tch::oterfichier, "oterfichier", "Remove the file", "", RunsAs::File, "", "", ""},
    {&Tch::RiffHeader, "RiffHeader", "Display the RIFF header", "", RunsAs::Mono, "", "", ""},
    {&Tch::DefaultPlayer, "DefaultPlayer", "Play with the default player", "", RunsAs::Mono, "", "",
     ""},
    {&Tch::AjouterTimecode, "AjouterTimecode", "Add the timecode", "", RunsAs::File, "t", "",
     "no timecode"},
    {&Tch::AjouterDateCode, "AjouterDateCode", "Add the datecode", "", RunsAs::File, "d", "",
     "no datecode"},
    {&Tch::PurgerNom, "PurgerNom", "Shorten the filename", "", RunsAs::File, "q", "",
     "nothing to remove from the name"},
    {&Tch::FileDate, "FileDate", "Modify the filedate", "", RunsAs::File, "b", "", "no datecode"},
    {&Tch::RenameScAn, "RenameScAn", "Rename ", "", RunsAs::File, "r", "", "no datecode"},
    {&Tch::DVtype1, "DVtype1", "Converting into DV type 1", "Converting \"%s\" into type 1",
     RunsAs::Graph, "1", "", "not a DV type 2 file"},
    {&Tch::DVType2, "DVType2", "Converting into DV type 2", "Converting \"%s\" into type 2",
     RunsAs::Graph, "2", "", "not a DV type 1 file with the codec dvsd"},
    {&Tch::Ntsc, "Ntsc", "Convert into NTSC", "Converting \"%s\" into NTSC", RunsAs::Graph, "n", "",
     "not a PAL DV file of type 2 or with the codec dvsd"},
    {&Tch::Pal, "Pal", "Convert into Pal", "Converting \"%s\" into Pal", RunsAs::Graph, "p", "",
     "not an NTSC DV file of type 2 or with the codec dvsd"},
    {&Tch::IncrusterDatecode, "IncrusterDatecode", "Inlay the datecode",
     "Inlaying the datecode into \"%s\"", RunsAs::Graph, "i", "", kDvType2OrDvsd},
    {&Tch::ConvertirDV, "ConvertirDV", "Recompress into DV type 2",
     "Converting \"%s\" into DV type 2", RunsAs::Graph, "g", "", "already a DV file"},
    {&Tch::CreerScnFromDate, "CreerScnFromDate", "Create a scn file with date",
     "Creating a scn file for \"%s\" with date", RunsAs::Graph, "s", "", "not a DV file"},
    {&Tch::SupprimerScn, "SupprimerScn", "Delete the scn file", "", RunsAs::File, "z", "",
     "no scn file"},
    {&Tch::ExtraireAudio, "ExtraireAudio", "Extract audio", "Extracting audio from \"%s\"",
     RunsAs::Graph, "w", "", "no sound"},
    {&Tch::CorrigerFps, "CorrigerFps", "Fix the framerate", "", RunsAs::File, "y", "",
     "a DV type 1 file"},
    {&Tch::ScenesTextFromDate, "ScenesTextFromDate", "Export to text the list of scenes by date",
     "Exporting to text the list of scenes by date of \"%s\"", RunsAs::InnerGraph, "x",
     "CreerScenes", "not a DV file"},
    {&Tch::Varnolt, "Varnolt", "Open with varnolt", "", RunsAs::Mono, "", "", ""},
    {&Tch::AfficherIncrustation, "AfficherIncrustation", "Show inlay", "", RunsAs::Mono, "", "",
     kDvType2OrDvsd},
    {&Tch::AfficherSliders, "AfficherSliders", "Modify the position of Inlay", "", RunsAs::Mono, "",
     "", kDvType2OrDvsd},
    {&Tch::DecalerHoraire, "DecalerHoraire", "Fix the time difference",
     "Fixing the time difference in \"%s\"", RunsAs::Graph, "e", "", "not a DV file"},
    {&Tch::CorrigerCodec, "CorrigerCodec", "Change the codec", "", RunsAs::File, "k", "", ""},
    {&Tch::CorrigerType2, "CorrigerType2", "Fix DV type2", "Fix the DV type 2 file %s",
     RunsAs::Graph, "", "", "not a DV type 2 file with an interleaved stream"},
    {&Tch::OpenFichierF3, "OpenFichierF3", "Open with", "", RunsAs::File, "", "", ""},
    {&Tch::OpenFichierF4, "OpenFichierF4", "Open with...", "", RunsAs::File, "", "", ""},
    {&Tch::Creer_srt, "Creer_srt", "Create a srt file", "Creating a srt file for \"%s\"",
     RunsAs::Graph, "a", "", "not a DV file"},
    {&Tch::Supprimer_srt, "Supprimer_srt", "Delete the srt file", "", RunsAs::File, "j", "",
     "no srt file"},
    {&Tch::CreerScnContenu, "CreerScnContenu", "Create a scn file with content",
     "Creating a scn file for \"%s\" with content", RunsAs::Graph, "$", "", "no video"},
    {&Tch::ScenesTextFromScn, "ScenesTextFromScn", "Convert scn to text",
     "Converting scn to text for \"%s\"", RunsAs::InnerFile, "x", "", "no scn file"},
    {&Tch::ScenesTextFromContenu, "ScenesTextFromContenu",
     "Export to text the list of scenes by content",
     "Exporting the list of scenes by content of \"%s\" to text", RunsAs::InnerGraph, "x",
     "CreerScenes", "no video"},
    {&Tch::ScenesExcelFromScn, "ScenesExcelFromScn", "Convert scn to excel",
     "Converting scn to excel for \"%s\"", RunsAs::InnerFile, "", "", "no scn file"},
    {&Tch::ScenesExcelfromDate, "ScenesExcelfromDate", "Export to excel the list of scenes by date",
     "Exporting to excel the list of scenes by date of \"%s\"", RunsAs::InnerGraph, "",
     "CreerScenes", "not a DV file"},
    {&Tch::ScenesExcelFromContenu, "ScenesExcelFromContenu",
     "Export to excel the list of scenes by content",
     "Exporting to excel the list of scenes by content of \"%s\"", RunsAs::InnerGraph, "",
     "CreerScenes", "no video"},
    {&Tch::ScenesExcel, "ScenesExcel", "Export to excel the list of scenes",
     "Exporting to excel the list of scenes of \"%s\"", RunsAs::Graph, "v", "",
     "no scn file and no video"},
    {&Tch::ScenesText, "ScenesText", "Export the list of scenes by date",
     "Exporting the list of scenes by date of \"%s\" into text", RunsAs::Graph, "x", "",
     "no scn file and no video"},
    // The cut keeps no caption of its own; its progress message is built per scene.
    {&Tch::CutScenes, "CutScenes", "", "", RunsAs::Graph, "c", "", "not a DV file with a scn file"},
};

}  // namespace

void tFileAction::SetSwitch(const std::string& letter) {
    switch_ = Lower(letter.substr(0, 1));
}

std::vector<CommandSummary> CommandSummaries() {
    std::vector<CommandSummary> out;
    for (const Row& row : kTable)
        out.push_back(CommandSummary{row.Name, row.Caption, row.Runs, row.Switch});
    return out;
}

const char* UpdateTypeName(TchUpdateType update) {
    switch (update) {
        case utNone:
            return "utNone";
        case utAdd:
            return "utAdd";
        case utDelete:
            return "utDelete";
        case utModify:
            return "utModify";
        case utRename:
            return "utRename";
    }
    return "utNone";
}

Tch::Tch(TchServices services) : s_(std::move(services)) {
    for (const Row& row : kTable) {
        tFileAction& c = this->*row.Member;
        c.Name = row.Name;
        c.Runs = row.Runs;
        c.SetSwitch(row.Switch);
        c.Modele = row.Modele;
        c.Requirement = row.Requirement;
        commands_.push_back(&c);
    }
    wire();
}

void Tch::Start() {
    CommandMap.clear();
    for (tFileAction* c : commands_)
        CommandMap.emplace(Lower(c->Name), c);
    texts();
}

void Tch::texts() {
    for (const Row& row : kTable) {
        tFileAction& c = this->*row.Member;
        c.Caption = row.Caption;
        c.MonoMessage = row.Message;
    }
}

void Tch::LinkCommands() {
    for (tFileAction* c : commands_) {
        if (c->Modele.empty())
            continue;
        const tFileAction* model = Find(c->Modele);
        if (!model || model == c)
            continue;
        if (!c->OnConfirmation)
            c->OnConfirmation = model->OnConfirmation;
        if (!c->OnExecution)
            c->OnExecution = model->OnExecution;
        if (!c->OnFileCondition)
            c->OnFileCondition = model->OnFileCondition;
        if (!c->OnGeneralCondition)
            c->OnGeneralCondition = model->OnGeneralCondition;
    }
}

tFileAction* Tch::Find(std::string_view name) {
    const std::string key = Lower(name);
    if (const auto it = CommandMap.find(key); it != CommandMap.end())
        return it->second;
    for (tFileAction* c : commands_)
        if (Lower(c->Name) == key)
            return c;
    return nullptr;
}

void Tch::wire() {
    // Renames and file dates.
    AjouterDateCode.OnFileCondition = bind(&Tch::AjouterDateCodeFileCondition);
    AjouterDateCode.OnConfirmation = bind(&Tch::AjouterDateCodeConfirmation);
    AjouterDateCode.OnExecution = bind(&Tch::AjouterDateCodeExecution);
    AjouterTimecode.OnFileCondition = bind(&Tch::AjouterTimecodeFileCondition);
    AjouterTimecode.OnConfirmation = bind(&Tch::AjouterTimecodeConfirmation);
    AjouterTimecode.OnExecution = bind(&Tch::AjouterTimecodeExecution);
    RenameScAn.OnFileCondition = bind(&Tch::AjouterDateCodeFileCondition);
    RenameScAn.OnConfirmation = bind(&Tch::RenameScAnConfirmation);
    RenameScAn.OnExecution = bind(&Tch::RenameScAnExecution);
    PurgerNom.OnFileCondition = bind(&Tch::PurgerNomFileCondition);
    PurgerNom.OnConfirmation = bind(&Tch::PurgerNomConfirmation);
    PurgerNom.OnExecution = bind(&Tch::PurgerNomExecution);
    FileDate.OnFileCondition = bind(&Tch::AjouterDateCodeFileCondition);
    FileDate.OnConfirmation = bind(&Tch::FileDateConfirmation);
    FileDate.OnExecution = bind(&Tch::FileDateExecution);

    // Conversions and repairs.
    const auto conversion =
        [this](tFileAction& c,
               void (Tch::*condition)(TParam&, const files::TAfficherFichier&, bool&, bool&),
               std::string suffix,
               void (Tch::*execution)(TParam&, const files::TAfficherFichier&, TExecutionResult&)) {
            c.OnFileCondition = bind(condition);
            c.OnConfirmation = [this, suffix](TParam&, const files::TAfficherFichier& f,
                                              std::string& msg) {
                conversionConfirmation(f, suffix, msg);
            };
            c.OnExecution = bind(execution);
        };
    conversion(DVtype1, &Tch::DVtype1FileCondition, "_type1.avi", &Tch::DVtype1Execution);
    conversion(DVType2, &Tch::DVType2FileCondition, "_type2.avi", &Tch::DVType2Execution);
    conversion(Ntsc, &Tch::NtscFileCondition, "_ntsc.avi", &Tch::NtscExecution);
    conversion(Pal, &Tch::PalFileCondition, "_pal.avi", &Tch::PalExecution);
    conversion(IncrusterDatecode, &Tch::IncrusterDatecodeFileCondition, "_in.avi",
               &Tch::IncrusterDatecodeExecution);
    conversion(ConvertirDV, &Tch::ConvertirDVFileCondition, "_dvtype2.avi",
               &Tch::ConvertirDVExecution);
    conversion(ExtraireAudio, &Tch::ExtraireAudioFileCondition, ".wav",
               &Tch::ExtraireAudioExecution);
    conversion(CorrigerType2, &Tch::CorrigerType2FileCondition, "_fixed.avi",
               &Tch::CorrigerType2Execution);
    DecalerHoraire.OnFileCondition = bind(&Tch::DecalerHoraireFileCondition);
    DecalerHoraire.OnConfirmation = [this](TParam&, const files::TAfficherFichier& f,
                                           std::string& msg) {
        conversionConfirmation(f, TimeDifferenceSuffix(CorrectionShift), msg);
    };
    DecalerHoraire.OnExecution = bind(&Tch::DecalerHoraireExecution);
    CorrigerFps.OnFileCondition = bind(&Tch::CorrigerFpsFileCondition);
    CorrigerFps.OnConfirmation = bind(&Tch::CorrigerFpsConfirmation);
    CorrigerFps.OnExecution = bind(&Tch::CorrigerFpsExecution);
    CorrigerCodec.OnConfirmation = bind(&Tch::CorrigerCodecConfirmation);
    CorrigerCodec.OnExecution = bind(&Tch::CorrigerCodecExecution);

    // Scenes.
    CreerScnFromDate.OnFileCondition = bind(&Tch::DVFileCondition);
    CreerScnFromDate.OnConfirmation = bind(&Tch::ScnReplaceConfirmation);
    CreerScnFromDate.OnExecution = bind(&Tch::CreerScnFromDateExecution);
    CreerScnContenu.OnFileCondition = bind(&Tch::VideoFileCondition);
    CreerScnContenu.OnConfirmation = bind(&Tch::ScnReplaceConfirmation);
    SupprimerScn.OnFileCondition = bind(&Tch::ScnFileCondition);
    SupprimerScn.OnConfirmation = bind(&Tch::SupprimerScnConfirmation);
    SupprimerScn.OnExecution = bind(&Tch::SupprimerScnExecution);
    Creer_srt.OnFileCondition = bind(&Tch::DVFileCondition);
    Creer_srt.OnConfirmation = bind(&Tch::SrtReplaceConfirmation);
    Creer_srt.OnExecution = bind(&Tch::Creer_srtExecution);
    Supprimer_srt.OnFileCondition = bind(&Tch::SrtFileCondition);
    Supprimer_srt.OnConfirmation = bind(&Tch::Supprimer_srtConfirmation);
    Supprimer_srt.OnExecution = bind(&Tch::Supprimer_srtExecution);
    ScenesTextFromDate.OnFileCondition = bind(&Tch::DVFileCondition);
    ScenesTextFromDate.OnConfirmation = bind(&Tch::TextReplaceConfirmation);
    ScenesTextFromDate.OnExecution = bind(&Tch::ScenesTextFromDateExecution);
    ScenesTextFromContenu.OnFileCondition = bind(&Tch::VideoFileCondition);
    ScenesTextFromContenu.OnConfirmation = bind(&Tch::TextReplaceConfirmation);
    ScenesTextFromScn.OnFileCondition = bind(&Tch::ScnFileCondition);
    ScenesTextFromScn.OnConfirmation = bind(&Tch::TextReplaceConfirmation);
    ScenesTextFromScn.OnExecution = bind(&Tch::ScenesTextFromScnExecution);
    ScenesExcelfromDate.OnFileCondition = bind(&Tch::DVFileCondition);
    ScenesExcelfromDate.OnConfirmation = bind(&Tch::SpreadsheetReplaceConfirmation);
    ScenesExcelfromDate.OnExecution = bind(&Tch::ScenesExcelfromDateExecution);
    ScenesExcelFromContenu.OnFileCondition = bind(&Tch::VideoFileCondition);
    ScenesExcelFromContenu.OnConfirmation = bind(&Tch::SpreadsheetReplaceConfirmation);
    ScenesExcelFromScn.OnFileCondition = bind(&Tch::ScnFileCondition);
    ScenesExcelFromScn.OnConfirmation = bind(&Tch::SpreadsheetReplaceConfirmation);
    ScenesExcelFromScn.OnExecution = bind(&Tch::ScenesExcelFromScnExecution);
    ScenesText.OnFileCondition = bind(&Tch::ScenesExportFileCondition);
    ScenesText.OnConfirmation = bind(&Tch::TextReplaceConfirmation);
    ScenesText.OnExecution = bind(&Tch::ScenesTextExecution);
    ScenesExcel.OnFileCondition = bind(&Tch::ScenesExportFileCondition);
    ScenesExcel.OnConfirmation = bind(&Tch::SpreadsheetReplaceConfirmation);
    ScenesExcel.OnExecution = bind(&Tch::ScenesExcelExecution);
    CutScenes.OnFileCondition = bind(&Tch::CutScenesFileCondition);
    CutScenes.OnConfirmation = bind(&Tch::CutScenesConfirmation);
    CreerScnContenu.OnExecution = bind(&Tch::CreerScnContenuExecution);
    ScenesTextFromContenu.OnExecution = bind(&Tch::ScenesTextFromContenuExecution);
    ScenesExcelFromContenu.OnExecution = bind(&Tch::ScenesExcelFromContenuExecution);
    CutScenes.OnExecution = bind(&Tch::CutScenesExecution);

    // Files and viewer.
    oterfichier.OnExecution = bind(&Tch::oterfichierExecution);
    SupprimerFichier.OnFileCondition = bind(&Tch::SupprimerFichierFileCondition);
    SupprimerFichier.OnConfirmation = bind(&Tch::SupprimerFichierConfirmation);
    SupprimerFichier.OnExecution = bind(&Tch::SupprimerFichierExecution);
    DossierParent.OnExecution = bind(&Tch::DossierParentExecution);
    DefaultPlayer.OnExecution = bind(&Tch::DefaultPlayerExecution);
    Varnolt.OnGeneralCondition = bind(&Tch::VarnoltGeneralCondition);
    Varnolt.OnExecution = bind(&Tch::VarnoltExecution);
    OpenFichierF3.OnGeneralCondition = bind(&Tch::OpenFichierF3GeneralCondition);
    OpenFichierF3.OnExecution = bind(&Tch::OpenFichierF3Execution);
    OpenFichierF4.OnGeneralCondition = bind(&Tch::OpenFichierF4GeneralCondition);
    OpenFichierF4.OnExecution = bind(&Tch::OpenFichierF4Execution);
    RiffHeader.OnExecution = bind(&Tch::RiffHeaderExecution);
    AfficherIncrustation.OnFileCondition = bind(&Tch::InlayFileCondition);
    AfficherIncrustation.OnExecution = bind(&Tch::AfficherIncrustationExecution);
    AfficherSliders.OnFileCondition = bind(&Tch::InlayFileCondition);
    AfficherSliders.OnExecution = bind(&Tch::AfficherSlidersExecution);
}

void Tch::GraphCommandRun(TExecutionResult& result, const GraphRun& run) {
    media::TCdm& cdm = s_.Cdm;
    media::ConversionProgress& progress = cdm.Progress();
    if (cdm.IsLive()) {
        cdm.Stop();
        cdm.Clear();
        cdm.Release();
    }
    if (!run.Build()) {
        result.failure = cdm.BuildError().empty() ? "the graph cannot be built" : cdm.BuildError();
        return;
    }
    progress.ProgressDuration = 0;
    if (run.Duration)
        progress.ProgressDuration = run.Duration();
    else if (progress.ProgressSeeking)
        progress.ProgressSeeking->GetDuration(progress.ProgressDuration);
    if (progress.ProgressDuration <= 0) {
        progress.ProgressDuration = 0;
        result.failure = "the video has no length";
        return;
    }
    if (run.Prepare)
        run.Prepare();
    cdm.RemoveReferenceClock();
    result.update = run.Update;
    result.newfichier = run.NewPath;
    if (media::Failed(cdm.Run())) {
        // Nothing streams, so nothing would ever complete: the worker must not wait.
        progress.ProgressDuration = 0;
        const std::string why = cdm.RunFailure();
        result.failure = why.empty() ? "the graph cannot start" : why;
    }
}

std::string Tch::OutputPath(const files::TAfficherFichier& video, std::string_view suffix) const {
    return ConversionOutputPath(video, suffix, s_.Prefs);
}

std::string Tch::TimeDifferenceSuffix(double days) {
    const std::string sign = days >= 0 ? "+" : "-";
    const double a = std::fabs(days);
    const double whole = std::floor(a);
    std::string text;
    if (whole > 0)
        text = std::to_string(static_cast<long long>(whole)) + "days";
    // The time of day of the fraction, to the millisecond.
    const long long ms = std::llround((a - whole) * static_cast<double>(kMillisecondsPerDay));
    const long long hours = ms / 3600000, minutes = ms / 60000 % 60, seconds = ms / 1000 % 60;
    if (hours != 0)
        text += std::to_string(hours) + "h";
    if (minutes != 0)
        text += std::to_string(minutes) + "mn";
    if (seconds != 0)
        text += std::to_string(seconds) + "s";
    return "_(" + sign + text + ")" + ".avi";
}

std::string Tch::SceneOutputPath(const files::TAfficherFichier& video, int k) const {
    return OutputPath(video, "_scene_" + std::to_string(k) + ".avi");
}

std::int64_t Tch::FrameDuration(const files::TaviFichier& video) {
    return video.Fps > 0 ? RoundHalfEven(10000000.0 / video.Fps) : 0;
}

int Tch::LoadCutScenes(const files::TAfficherFichier& video) {
    CutSceneList.clear();
    CutSceneIndex = 0;
    // The processed file's own rate turns frames into times, whichever file the panel shows.
    scenes::ReadScnFile(scenes::ReplaceExtension(video.FullName, ".scn"), CutSceneList, video.Fps);
    return static_cast<int>(CutSceneList.size());
}

}  // namespace kelvor::commands

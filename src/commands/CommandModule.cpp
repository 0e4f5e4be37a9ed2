#include "commands/CommandModule.h"

#include <cmath>

#include "commands/CommandTexts.h"
#include "core/files/DateTime.h"
#include "core/files/Rounding.h"
#include "core/scenes/ScnFile.h"
#include "media/graphs/ConversionGraphs.h"

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
    Command CommandModule::*Member;
    const char* Name;
    const char* Caption;
    const char* Message;
    RunsAs Runs;
    const char* Switch;
    const char* Template;
    const char* Requirement;
};

constexpr const char* kDvType2OrDvsd = "not a DV file of type 2 or with the codec dvsd";

const Row kTable[] = {
    {&CommandModule::ShowInFolder, "DossierParent", "Parent folder", "", RunsAs::Mono, "", "", ""},
    {&CommandModule::DeleteFile, "SupprimerFichier", "Delete the file", "", RunsAs::File, "o", "",
     "the file is read-only"},
    {&CommandModule::RemoveFromList, "oterfichier", "Remove the file", "", RunsAs::File, "", "",
     ""},
    {&CommandModule::RiffReport, "RiffHeader", "Display the RIFF header", "", RunsAs::Mono, "", "",
     ""},
    {&CommandModule::PlayInDefaultPlayer, "DefaultPlayer", "Play with the default player", "",
     RunsAs::Mono, "", "", ""},
    {&CommandModule::AddTimecode, "AjouterTimecode", "Add the timecode", "", RunsAs::File, "t", "",
     "no timecode"},
    {&CommandModule::AddDatecode, "AjouterDateCode", "Add the datecode", "", RunsAs::File, "d", "",
     "no datecode"},
    {&CommandModule::ShortenName, "PurgerNom", "Shorten the filename", "", RunsAs::File, "q", "",
     "nothing to remove from the name"},
    {&CommandModule::SetFileDate, "FileDate", "Modify the filedate", "", RunsAs::File, "b", "",
     "no datecode"},
    {&CommandModule::RenameToDate, "RenameScAn", "Rename ", "", RunsAs::File, "r", "",
     "no datecode"},
    {&CommandModule::ToType1, "DVtype1", "Converting into DV type 1",
     "Converting \"%s\" into type 1", RunsAs::Graph, "1", "", "not a DV type 2 file"},
    {&CommandModule::ToType2, "DVType2", "Converting into DV type 2",
     "Converting \"%s\" into type 2", RunsAs::Graph, "2", "",
     "not a DV type 1 file with the codec dvsd"},
    {&CommandModule::ToNtsc, "Ntsc", "Convert into NTSC", "Converting \"%s\" into NTSC",
     RunsAs::Graph, "n", "", "not a PAL DV file of type 2 or with the codec dvsd"},
    {&CommandModule::ToPal, "Pal", "Convert into Pal", "Converting \"%s\" into Pal", RunsAs::Graph,
     "p", "", "not an NTSC DV file of type 2 or with the codec dvsd"},
    {&CommandModule::InlayDatecode, "IncrusterDatecode", "Inlay the datecode",
     "Inlaying the datecode into \"%s\"", RunsAs::Graph, "i", "", kDvType2OrDvsd},
    {&CommandModule::RecompressToDv, "ConvertirDV", "Recompress into DV type 2",
     "Converting \"%s\" into DV type 2", RunsAs::Graph, "g", "", "already a DV file"},
    {&CommandModule::ScenesByDate, "CreerScnFromDate", "Create a scn file with date",
     "Creating a scn file for \"%s\" with date", RunsAs::Graph, "s", "", "not a DV file"},
    {&CommandModule::DeleteScn, "SupprimerScn", "Delete the scn file", "", RunsAs::File, "z", "",
     "no scn file"},
    {&CommandModule::ExtractAudio, "ExtraireAudio", "Extract audio", "Extracting audio from \"%s\"",
     RunsAs::Graph, "w", "", "no sound"},
    {&CommandModule::FixFrameRate, "CorrigerFps", "Fix the framerate", "", RunsAs::File, "y", "",
     "a DV type 1 file"},
    {&CommandModule::ExportTextByDate, "ScenesTextFromDate",
     "Export to text the list of scenes by date",
     "Exporting to text the list of scenes by date of \"%s\"", RunsAs::InnerGraph, "x",
     "CreerScenes", "not a DV file"},
    {&CommandModule::OpenInVarnolt, "Varnolt", "Open with varnolt", "", RunsAs::Mono, "", "", ""},
    {&CommandModule::ShowInlay, "AfficherIncrustation", "Show inlay", "", RunsAs::Mono, "", "",
     kDvType2OrDvsd},
    {&CommandModule::ShowInlaySliders, "AfficherSliders", "Modify the position of Inlay", "",
     RunsAs::Mono, "", "", kDvType2OrDvsd},
    {&CommandModule::ShiftTime, "DecalerHoraire", "Fix the time difference",
     "Fixing the time difference in \"%s\"", RunsAs::Graph, "e", "", "not a DV file"},
    {&CommandModule::FixCodec, "CorrigerCodec", "Change the codec", "", RunsAs::File, "k", "", ""},
    {&CommandModule::FixType2, "CorrigerType2", "Fix DV type2", "Fix the DV type 2 file %s",
     RunsAs::Graph, "", "", "not a DV type 2 file with an interleaved stream"},
    {&CommandModule::OpenWithF3, "OpenFichierF3", "Open with", "", RunsAs::File, "", "", ""},
    {&CommandModule::OpenWithF4, "OpenFichierF4", "Open with...", "", RunsAs::File, "", "", ""},
    {&CommandModule::MakeSrt, "Creer_srt", "Create a srt file", "Creating a srt file for \"%s\"",
     RunsAs::Graph, "a", "", "not a DV file"},
    {&CommandModule::DeleteSrt, "Supprimer_srt", "Delete the srt file", "", RunsAs::File, "j", "",
     "no srt file"},
    {&CommandModule::ScenesByContent, "CreerScnContenu", "Create a scn file with content",
     "Creating a scn file for \"%s\" with content", RunsAs::Graph, "$", "", "no video"},
    {&CommandModule::ExportTextFromScn, "ScenesTextFromScn", "Convert scn to text",
     "Converting scn to text for \"%s\"", RunsAs::InnerFile, "x", "", "no scn file"},
    {&CommandModule::ExportTextByContent, "ScenesTextFromContenu",
     "Export to text the list of scenes by content",
     "Exporting the list of scenes by content of \"%s\" to text", RunsAs::InnerGraph, "x",
     "CreerScenes", "no video"},
    {&CommandModule::ExportXlsxFromScn, "ScenesExcelFromScn", "Convert scn to excel",
     "Converting scn to excel for \"%s\"", RunsAs::InnerFile, "", "", "no scn file"},
    {&CommandModule::ExportXlsxByDate, "ScenesExcelfromDate",
     "Export to excel the list of scenes by date",
     "Exporting to excel the list of scenes by date of \"%s\"", RunsAs::InnerGraph, "",
     "CreerScenes", "not a DV file"},
    {&CommandModule::ExportXlsxByContent, "ScenesExcelFromContenu",
     "Export to excel the list of scenes by content",
     "Exporting to excel the list of scenes by content of \"%s\"", RunsAs::InnerGraph, "",
     "CreerScenes", "no video"},
    {&CommandModule::ExportXlsx, "ScenesExcel", "Export to excel the list of scenes",
     "Exporting to excel the list of scenes of \"%s\"", RunsAs::Graph, "v", "",
     "no scn file and no video"},
    {&CommandModule::ExportText, "ScenesText", "Export the list of scenes by date",
     "Exporting the list of scenes by date of \"%s\" into text", RunsAs::Graph, "x", "",
     "no scn file and no video"},
    // The cut keeps no caption of its own; its progress message is built per scene.
    {&CommandModule::CutScenes, "CutScenes", "", "", RunsAs::Graph, "c", "",
     "not a DV file with a scn file"},
};

}  // namespace

void Command::SetSwitch(const std::string& letter) {
    switch_ = Lower(letter.substr(0, 1));
}

std::vector<CommandSummary> CommandSummaries() {
    std::vector<CommandSummary> out;
    for (const Row& row : kTable)
        out.push_back(CommandSummary{row.Name, row.Caption, row.Runs, row.Switch});
    return out;
}

const char* UpdateTypeName(ListUpdate update) {
    switch (update) {
        case ListUpdate::None:
            return "utNone";
        case ListUpdate::Add:
            return "utAdd";
        case ListUpdate::Delete:
            return "utDelete";
        case ListUpdate::Modify:
            return "utModify";
        case ListUpdate::Rename:
            return "utRename";
    }
    return "utNone";
}

CommandModule::CommandModule(CommandServices services) : s_(std::move(services)) {
    for (const Row& row : kTable) {
        Command& c = this->*row.Member;
        c.Name = row.Name;
        c.Runs = row.Runs;
        c.SetSwitch(row.Switch);
        c.Template = row.Template;
        c.Requirement = row.Requirement;
        commands_.push_back(&c);
    }
    wire();
}

void CommandModule::Start() {
    CommandMap.clear();
    for (Command* c : commands_)
        CommandMap.emplace(Lower(c->Name), c);
    texts();
}

void CommandModule::texts() {
    for (const Row& row : kTable) {
        Command& c = this->*row.Member;
        c.Caption = row.Caption;
        c.ProgressMessage = row.Message;
    }
}

void CommandModule::LinkCommands() {
    for (Command* c : commands_) {
        if (c->Template.empty())
            continue;
        const Command* model = Find(c->Template);
        if (!model || model == c)
            continue;
        if (!c->Confirm)
            c->Confirm = model->Confirm;
        if (!c->Execute)
            c->Execute = model->Execute;
        if (!c->AppliesTo)
            c->AppliesTo = model->AppliesTo;
        if (!c->CanStart)
            c->CanStart = model->CanStart;
    }
}

Command* CommandModule::Find(std::string_view name) {
    const std::string key = Lower(name);
    if (const auto it = CommandMap.find(key); it != CommandMap.end())
        return it->second;
    for (Command* c : commands_)
        if (Lower(c->Name) == key)
            return c;
    return nullptr;
}

void CommandModule::wire() {
    // Renames and file dates.
    AddDatecode.AppliesTo = bind(&CommandModule::addDatecodeAppliesTo);
    AddDatecode.Confirm = bind(&CommandModule::addDatecodeConfirm);
    AddDatecode.Execute = bind(&CommandModule::addDatecodeExecute);
    AddTimecode.AppliesTo = bind(&CommandModule::addTimecodeAppliesTo);
    AddTimecode.Confirm = bind(&CommandModule::addTimecodeConfirm);
    AddTimecode.Execute = bind(&CommandModule::addTimecodeExecute);
    RenameToDate.AppliesTo = bind(&CommandModule::addDatecodeAppliesTo);
    RenameToDate.Confirm = bind(&CommandModule::renameToDateConfirm);
    RenameToDate.Execute = bind(&CommandModule::renameToDateExecute);
    ShortenName.AppliesTo = bind(&CommandModule::shortenNameAppliesTo);
    ShortenName.Confirm = bind(&CommandModule::shortenNameConfirm);
    ShortenName.Execute = bind(&CommandModule::shortenNameExecute);
    SetFileDate.AppliesTo = bind(&CommandModule::addDatecodeAppliesTo);
    SetFileDate.Confirm = bind(&CommandModule::setFileDateConfirm);
    SetFileDate.Execute = bind(&CommandModule::setFileDateExecute);

    // Conversions and repairs.
    const auto conversion = [this](Command& c,
                                   void (CommandModule::*condition)(
                                       CommandParam&, const files::FileRecord&, bool&, bool&),
                                   std::string suffix,
                                   void (CommandModule::*execution)(
                                       CommandParam&, const files::FileRecord&, ExecutionResult&)) {
        c.AppliesTo = bind(condition);
        c.Confirm = [this, suffix](CommandParam&, const files::FileRecord& f, std::string& msg) {
            conversionConfirmation(f, suffix, msg);
        };
        c.Execute = bind(execution);
    };
    conversion(ToType1, &CommandModule::toType1AppliesTo, "_type1.avi",
               &CommandModule::toType1Execute);
    conversion(ToType2, &CommandModule::toType2AppliesTo, "_type2.avi",
               &CommandModule::toType2Execute);
    conversion(ToNtsc, &CommandModule::toNtscAppliesTo, "_ntsc.avi", &CommandModule::toNtscExecute);
    conversion(ToPal, &CommandModule::toPalAppliesTo, "_pal.avi", &CommandModule::toPalExecute);
    conversion(InlayDatecode, &CommandModule::inlayDatecodeAppliesTo, "_in.avi",
               &CommandModule::inlayDatecodeExecute);
    conversion(RecompressToDv, &CommandModule::recompressToDvAppliesTo, "_dvtype2.avi",
               &CommandModule::recompressToDvExecute);
    conversion(ExtractAudio, &CommandModule::extractAudioAppliesTo, ".wav",
               &CommandModule::extractAudioExecute);
    conversion(FixType2, &CommandModule::fixType2AppliesTo, "_fixed.avi",
               &CommandModule::fixType2Execute);
    ShiftTime.AppliesTo = bind(&CommandModule::shiftTimeAppliesTo);
    ShiftTime.Confirm = [this](CommandParam&, const files::FileRecord& f, std::string& msg) {
        conversionConfirmation(f, TimeDifferenceSuffix(CorrectionShift), msg);
    };
    ShiftTime.Execute = bind(&CommandModule::shiftTimeExecute);
    FixFrameRate.AppliesTo = bind(&CommandModule::fixFrameRateAppliesTo);
    FixFrameRate.Confirm = bind(&CommandModule::fixFrameRateConfirm);
    FixFrameRate.Execute = bind(&CommandModule::fixFrameRateExecute);
    FixCodec.Confirm = bind(&CommandModule::fixCodecConfirm);
    FixCodec.Execute = bind(&CommandModule::fixCodecExecute);

    // Scenes.
    ScenesByDate.AppliesTo = bind(&CommandModule::dvAppliesTo);
    ScenesByDate.Confirm = bind(&CommandModule::scnReplaceConfirm);
    ScenesByDate.Execute = bind(&CommandModule::scenesByDateExecute);
    ScenesByContent.AppliesTo = bind(&CommandModule::videoAppliesTo);
    ScenesByContent.Confirm = bind(&CommandModule::scnReplaceConfirm);
    DeleteScn.AppliesTo = bind(&CommandModule::scnAppliesTo);
    DeleteScn.Confirm = bind(&CommandModule::deleteScnConfirm);
    DeleteScn.Execute = bind(&CommandModule::deleteScnExecute);
    MakeSrt.AppliesTo = bind(&CommandModule::dvAppliesTo);
    MakeSrt.Confirm = bind(&CommandModule::srtReplaceConfirm);
    MakeSrt.Execute = bind(&CommandModule::makeSrtExecute);
    DeleteSrt.AppliesTo = bind(&CommandModule::srtAppliesTo);
    DeleteSrt.Confirm = bind(&CommandModule::deleteSrtConfirm);
    DeleteSrt.Execute = bind(&CommandModule::deleteSrtExecute);
    ExportTextByDate.AppliesTo = bind(&CommandModule::dvAppliesTo);
    ExportTextByDate.Confirm = bind(&CommandModule::textReplaceConfirm);
    ExportTextByDate.Execute = bind(&CommandModule::exportTextByDateExecute);
    ExportTextByContent.AppliesTo = bind(&CommandModule::videoAppliesTo);
    ExportTextByContent.Confirm = bind(&CommandModule::textReplaceConfirm);
    ExportTextFromScn.AppliesTo = bind(&CommandModule::scnAppliesTo);
    ExportTextFromScn.Confirm = bind(&CommandModule::textReplaceConfirm);
    ExportTextFromScn.Execute = bind(&CommandModule::exportTextFromScnExecute);
    ExportXlsxByDate.AppliesTo = bind(&CommandModule::dvAppliesTo);
    ExportXlsxByDate.Confirm = bind(&CommandModule::spreadsheetReplaceConfirm);
    ExportXlsxByDate.Execute = bind(&CommandModule::exportXlsxByDateExecute);
    ExportXlsxByContent.AppliesTo = bind(&CommandModule::videoAppliesTo);
    ExportXlsxByContent.Confirm = bind(&CommandModule::spreadsheetReplaceConfirm);
    ExportXlsxFromScn.AppliesTo = bind(&CommandModule::scnAppliesTo);
    ExportXlsxFromScn.Confirm = bind(&CommandModule::spreadsheetReplaceConfirm);
    ExportXlsxFromScn.Execute = bind(&CommandModule::exportXlsxFromScnExecute);
    ExportText.AppliesTo = bind(&CommandModule::sceneExportAppliesTo);
    ExportText.Confirm = bind(&CommandModule::textReplaceConfirm);
    ExportText.Execute = bind(&CommandModule::exportTextExecute);
    ExportXlsx.AppliesTo = bind(&CommandModule::sceneExportAppliesTo);
    ExportXlsx.Confirm = bind(&CommandModule::spreadsheetReplaceConfirm);
    ExportXlsx.Execute = bind(&CommandModule::exportXlsxExecute);
    CutScenes.AppliesTo = bind(&CommandModule::cutScenesAppliesTo);
    CutScenes.Confirm = bind(&CommandModule::cutScenesConfirm);
    ScenesByContent.Execute = bind(&CommandModule::scenesByContentExecute);
    ExportTextByContent.Execute = bind(&CommandModule::exportTextByContentExecute);
    ExportXlsxByContent.Execute = bind(&CommandModule::exportXlsxByContentExecute);
    CutScenes.Execute = bind(&CommandModule::cutScenesExecute);

    // Files and viewer.
    RemoveFromList.Execute = bind(&CommandModule::removeFromListExecute);
    DeleteFile.AppliesTo = bind(&CommandModule::deleteFileAppliesTo);
    DeleteFile.Confirm = bind(&CommandModule::deleteFileConfirm);
    DeleteFile.Execute = bind(&CommandModule::deleteFileExecute);
    ShowInFolder.Execute = bind(&CommandModule::showInFolderExecute);
    PlayInDefaultPlayer.Execute = bind(&CommandModule::playInDefaultPlayerExecute);
    OpenInVarnolt.CanStart = bind(&CommandModule::openInVarnoltCanStart);
    OpenInVarnolt.Execute = bind(&CommandModule::openInVarnoltExecute);
    OpenWithF3.CanStart = bind(&CommandModule::openWithF3CanStart);
    OpenWithF3.Execute = bind(&CommandModule::openWithF3Execute);
    OpenWithF4.CanStart = bind(&CommandModule::openWithF4CanStart);
    OpenWithF4.Execute = bind(&CommandModule::openWithF4Execute);
    RiffReport.Execute = bind(&CommandModule::riffReportExecute);
    ShowInlay.AppliesTo = bind(&CommandModule::inlayAppliesTo);
    ShowInlay.Execute = bind(&CommandModule::showInlayExecute);
    ShowInlaySliders.AppliesTo = bind(&CommandModule::inlayAppliesTo);
    ShowInlaySliders.Execute = bind(&CommandModule::showInlaySlidersExecute);
}

void CommandModule::GraphCommandRun(ExecutionResult& result, const GraphRun& run) {
    media::ConversionGraphs& graphs = s_.Graphs;
    media::ConversionProgress& progress = graphs.Progress();
    if (graphs.IsLive()) {
        graphs.Stop();
        graphs.Clear();
        graphs.Release();
    }
    if (!run.Build()) {
        result.failure =
            graphs.BuildError().empty() ? "the graph cannot be built" : graphs.BuildError();
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
    graphs.RemoveReferenceClock();
    result.update = run.Update;
    result.NewFile = run.NewPath;
    if (graphs.Run().failed()) {
        // Nothing streams, so nothing would ever complete: the worker must not wait.
        progress.ProgressDuration = 0;
        const std::string why = graphs.RunFailure();
        result.failure = why.empty() ? "the graph cannot start" : why;
    }
}

std::string CommandModule::OutputPath(const files::FileRecord& video,
                                      std::string_view suffix) const {
    return ConversionOutputPath(video, suffix, s_.Prefs);
}

std::string CommandModule::TimeDifferenceSuffix(double days) {
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

std::string CommandModule::SceneOutputPath(const files::FileRecord& video, int k) const {
    return OutputPath(video, "_scene_" + std::to_string(k) + ".avi");
}

std::int64_t CommandModule::FrameDuration(const files::FileRecordMedia& video) {
    return video.Fps > 0 ? RoundHalfEven(10000000.0 / video.Fps) : 0;
}

int CommandModule::LoadCutScenes(const files::FileRecord& video) {
    CutSceneList.clear();
    CutSceneIndex = 0;
    // The processed file's own rate turns frames into times, whichever file the panel shows.
    scenes::ReadScnFile(scenes::ReplaceExtension(video.FullName, ".scn"), CutSceneList, video.Fps);
    return static_cast<int>(CutSceneList.size());
}

}  // namespace kelvor::commands

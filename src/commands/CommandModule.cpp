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

constexpr const char* kDvType2OrDvsd =
    KELVOR_TR_NOOP("not a DV file of type 2 or with the codec dvsd");

using I = CommandIcon;
using R = RunsAs;

// The command table, the one place a command is declared: its names, texts, how it runs, its
// script letters, its template, what a file lacks when it does not apply, and its window action.
// The commands of a menu are listed in the menu's order; the script parser, the help, the
// window's actions and menus and the reports all read this table.
// clang-format off
const CommandInfo kTable[] = {
    // Files menu.
    {&CommandModule::ShowInFolder, "ShowInFolder", "DossierParent", "Parent folder", "", R::Mono, "", "", "",
     {KELVOR_TR_NOOP("Parent folder"), "Ctrl+F", "Files", I::Parent, true}},
    {&CommandModule::RiffReport, "RiffReport", "RiffHeader", "Display the RIFF header", "", R::Mono, "", "", "",
     {KELVOR_TR_NOOP("Read the RIFF header"), "Ctrl+H", "Files", I::Riff, false}},
    {&CommandModule::OpenInVarnolt, "OpenInVarnolt", "Varnolt", "Open with varnolt", "", R::Mono, "", "", "",
     {KELVOR_TR_NOOP("Open with "), "F2", "Files", I::Command, false}},
    {&CommandModule::RemoveFromList, "RemoveFromList", "oterfichier", "Remove the file", "", R::File, "", "", "",
     {KELVOR_TR_NOOP("Remove the file from list"), "Del", "Files", I::Remove, true}},
    {&CommandModule::DeleteFile, "DeleteFile", "SupprimerFichier", "Delete the file", "", R::File, "O", "",
     KELVOR_TR_NOOP("the file is read-only"), {KELVOR_TR_NOOP("Delete the file"), "Shift+Del", "Files", I::Trash, false}},
    {&CommandModule::OpenWithF3, "OpenWithF3", "OpenFichierF3", "Open with", "", R::File, "", "", "",
     {KELVOR_TR_NOOP("Open with "), "F3", "Files", I::Command, false}},
    {&CommandModule::OpenWithF4, "OpenWithF4", "OpenFichierF4", "Open with...", "", R::File, "", "", "",
     {KELVOR_TR_NOOP("Open with "), "F4", "Files", I::Command, false}},
    // Video menu.
    {&CommandModule::PlayInDefaultPlayer, "PlayInDefaultPlayer", "DefaultPlayer", "Play with the default player", "",
     R::Mono, "", "", "", {KELVOR_TR_NOOP("Play in the default media player"), "F5", "Video", I::DefaultPlayer, true}},
    {&CommandModule::ShowInlay, "ShowInlay", "AfficherIncrustation", "Show inlay", "", R::Mono, "", "", kDvType2OrDvsd,
     {KELVOR_TR_NOOP("Display the inlay"), "F12", "Video", I::ShowInlay, true}},
    {&CommandModule::ShowInlaySliders, "ShowInlaySliders", "AfficherSliders", "Modify the position of Inlay", "",
     R::Mono, "", "", kDvType2OrDvsd, {KELVOR_TR_NOOP("Modify the position of inlay"), "Alt+I", "Video", I::Command, false}},
    // Rename menu.
    {&CommandModule::AddDatecode, "AddDatecode", "AjouterDateCode", "Add the datecode", "", R::File, "D", "",
     KELVOR_TR_NOOP("no datecode"), {KELVOR_TR_NOOP("Add datecode"), "Ctrl+D", "Rename", I::Rename, false}},
    {&CommandModule::AddTimecode, "AddTimecode", "AjouterTimecode", "Add the timecode", "", R::File, "T", "",
     KELVOR_TR_NOOP("no timecode"), {KELVOR_TR_NOOP("Add timecode"), "Ctrl+T", "Rename", I::Rename, false}},
    {&CommandModule::ShortenName, "ShortenName", "PurgerNom", "Shorten the filename", "", R::File, "Q", "",
     KELVOR_TR_NOOP("nothing to remove from the name"), {KELVOR_TR_NOOP("Shorten the name"), "Ctrl+Q", "Rename", I::Rename, false}},
    {&CommandModule::SetFileDate, "SetFileDate", "FileDate", "Modify the filedate", "", R::File, "B", "",
     KELVOR_TR_NOOP("no datecode"), {KELVOR_TR_NOOP("Modify the date of file"), "Ctrl+B", "Rename", I::Rename, true}},
    {&CommandModule::RenameToDate, "RenameToDate", "RenameScAn", "Rename ", "", R::File, "R", "", KELVOR_TR_NOOP("no datecode"),
     {KELVOR_TR_NOOP("Rename"), "Ctrl+R", "Rename", I::Rename, false}},
    // Convert menu.
    {&CommandModule::ToType1, "ToType1", "DVtype1", "Converting into DV type 1", KELVOR_TR_NOOP("Converting \"%s\" into type 1"),
     R::Graph, "1", "", KELVOR_TR_NOOP("not a DV type 2 file"), {KELVOR_TR_NOOP("Convert into DV type 1"), "Ctrl+Num+1", "Convert", I::Convert, false}},
    {&CommandModule::ToType2, "ToType2", "DVType2", "Converting into DV type 2", KELVOR_TR_NOOP("Converting \"%s\" into type 2"),
     R::Graph, "2", "", KELVOR_TR_NOOP("not a DV type 1 file with the codec dvsd"),
     {KELVOR_TR_NOOP("Convert into DV type 2"), "Ctrl+Num+2", "Convert", I::Convert, false}},
    {&CommandModule::ToNtsc, "ToNtsc", "Ntsc", "Convert into NTSC", KELVOR_TR_NOOP("Converting \"%s\" into NTSC"), R::Graph, "NM", "",
     KELVOR_TR_NOOP("not a PAL DV file of type 2 or with the codec dvsd"), {KELVOR_TR_NOOP("Convert into NTSC"), "Ctrl+N", "Convert", I::Convert, true}},
    {&CommandModule::ToPal, "ToPal", "Pal", "Convert into Pal", KELVOR_TR_NOOP("Converting \"%s\" into Pal"), R::Graph, "P", "",
     KELVOR_TR_NOOP("not an NTSC DV file of type 2 or with the codec dvsd"), {KELVOR_TR_NOOP("Convert into Pal"), "Ctrl+P", "Convert", I::Convert, false}},
    {&CommandModule::InlayDatecode, "InlayDatecode", "IncrusterDatecode", "Inlay the datecode",
     KELVOR_TR_NOOP("Inlaying the datecode into \"%s\""), R::Graph, "I", "", kDvType2OrDvsd,
     {KELVOR_TR_NOOP("Inlay"), "Ctrl+I", "Convert", I::ShowInlay, true}},
    {&CommandModule::RecompressToDv, "RecompressToDv", "ConvertirDV", "Recompress into DV type 2",
     KELVOR_TR_NOOP("Converting \"%s\" into DV type 2"), R::Graph, "G", "", KELVOR_TR_NOOP("already a DV file"),
     {KELVOR_TR_NOOP("Recompress into DV type 2"), "Ctrl+G", "Convert", I::Convert, false}},
    {&CommandModule::FixType2, "FixType2", "CorrigerType2", "Fix DV type2", KELVOR_TR_NOOP("Fix the DV type 2 file %s"), R::Graph, "",
     "", KELVOR_TR_NOOP("not a DV type 2 file with an interleaved stream"),
     {KELVOR_TR_NOOP("Fix the DV type 2"), "Ctrl+Shift+2", "Convert", I::Command, true}},
    {&CommandModule::ExtractAudio, "ExtractAudio", "ExtraireAudio", "Extract audio", KELVOR_TR_NOOP("Extracting audio from \"%s\""),
     R::Graph, "W", "", KELVOR_TR_NOOP("no sound"), {KELVOR_TR_NOOP("Extract audio"), "Ctrl+W", "Convert", I::Convert, false}},
    {&CommandModule::ExportMp4, "ExportMp4", "ExporterMP4", "Export to MP4", KELVOR_TR_NOOP("Exporting \"%s\" to MP4"),
     R::Graph, "", "", KELVOR_TR_NOOP("not a DV file"), {KELVOR_TR_NOOP("Export to MP4 (one file per scene)"), "Ctrl+Shift+M", "Convert", I::Convert, false}},
    {&CommandModule::FixFrameRate, "FixFrameRate", "CorrigerFps", "Fix the framerate", "", R::File, "Y", "",
     KELVOR_TR_NOOP("a DV type 1 file"), {KELVOR_TR_NOOP("Fix the video framerate"), "Ctrl+Y", "Convert", I::Command, true}},
    {&CommandModule::FixCodec, "FixCodec", "CorrigerCodec", "Change the codec", "", R::File, "K", "", "",
     {KELVOR_TR_NOOP("Change the codec"), "Ctrl+K", "Convert", I::Command, false}},
    {&CommandModule::ShiftTime, "ShiftTime", "DecalerHoraire", "Fix the time difference",
     KELVOR_TR_NOOP("Fixing the time difference in \"%s\""), R::Graph, "E", "", KELVOR_TR_NOOP("not a DV file"),
     {KELVOR_TR_NOOP("Fix a time difference"), "Ctrl+E", "Convert", I::Command, false}},
    // Scenes menu.
    {&CommandModule::ScenesByDate, "ScenesByDate", "CreerScnFromDate", "Create a scn file with date",
     KELVOR_TR_NOOP("Creating a scn file for \"%s\" with date"), R::Graph, "S", "", KELVOR_TR_NOOP("not a DV file"),
     {KELVOR_TR_NOOP("Create a scn file by date"), "Ctrl+S", "Scenes", I::Scenes, false}},
    {&CommandModule::ScenesByContent, "ScenesByContent", "CreerScnContenu", "Create a scn file with content",
     KELVOR_TR_NOOP("Creating a scn file for \"%s\" with content"), R::Graph, "$", "", KELVOR_TR_NOOP("no video"),
     {KELVOR_TR_NOOP("Create a scn from the content"), "Ctrl+;", "Scenes", I::Scenes, false}},
    {&CommandModule::DeleteScn, "DeleteScn", "SupprimerScn", "Delete the scn file", "", R::File, "Z", "", KELVOR_TR_NOOP("no scn file"),
     {KELVOR_TR_NOOP("Delete the scn file"), "Ctrl+Z", "Scenes", I::Trash, false}},
    {&CommandModule::MakeSrt, "MakeSrt", "Creer_srt", "Create a srt file", KELVOR_TR_NOOP("Creating a srt file for \"%s\""), R::Graph,
     "A", "", KELVOR_TR_NOOP("not a DV file"), {KELVOR_TR_NOOP("Create a subtitle file .srt"), "Ctrl+Shift+S", "Scenes", I::Scenes, true}},
    {&CommandModule::DeleteSrt, "DeleteSrt", "Supprimer_srt", "Delete the srt file", "", R::File, "J", "",
     KELVOR_TR_NOOP("no srt file"), {KELVOR_TR_NOOP("Delete the subtitle file .srt"), "Ctrl+Shift+Z", "Scenes", I::Trash, false}},
    // X in a script chooses among the text exports (the runner's own choice); this is the
    // window's one.
    {&CommandModule::ExportText, "ExportText", "ScenesText", "Export the list of scenes by date",
     KELVOR_TR_NOOP("Exporting the list of scenes by date of \"%s\" into text"), R::Graph, "X", "", KELVOR_TR_NOOP("no scn file and no video"),
     {KELVOR_TR_NOOP("Export the scenes as text"), "Ctrl+X", "Scenes", I::Command, true}},
    {&CommandModule::ExportXlsx, "ExportXlsx", "ScenesExcel", "Export to excel the list of scenes",
     KELVOR_TR_NOOP("Exporting to excel the list of scenes of \"%s\""), R::Graph, "V", "", KELVOR_TR_NOOP("no scn file and no video"),
     {KELVOR_TR_NOOP("Export the scenes to an excel file"), "Ctrl+Shift+X", "Scenes", I::Command, false}},
    // The cut keeps no caption of its own; its progress message is built per scene.
    {&CommandModule::CutScenes, "CutScenes", "CutScenes", "", "", R::Graph, "C", "", KELVOR_TR_NOOP("not a DV file with a scn file"),
     {KELVOR_TR_NOOP("Split in scenes"), "Ctrl+C", "Scenes", I::Scenes, false}},
    // Run from other commands (or named directly by kelvor-cli); no window action.
    {&CommandModule::ExportTextByDate, "ExportTextByDate", "ScenesTextFromDate",
     "Export to text the list of scenes by date", KELVOR_TR_NOOP("Exporting to text the list of scenes by date of \"%s\""),
     R::InnerGraph, "", "CreateScenes", KELVOR_TR_NOOP("not a DV file"), {}},
    {&CommandModule::ExportTextFromScn, "ExportTextFromScn", "ScenesTextFromScn", "Convert scn to text",
     KELVOR_TR_NOOP("Converting scn to text for \"%s\""), R::InnerFile, "", "", KELVOR_TR_NOOP("no scn file"), {}},
    {&CommandModule::ExportTextByContent, "ExportTextByContent", "ScenesTextFromContenu",
     "Export to text the list of scenes by content", KELVOR_TR_NOOP("Exporting the list of scenes by content of \"%s\" to text"),
     R::InnerGraph, "", "CreateScenes", KELVOR_TR_NOOP("no video"), {}},
    {&CommandModule::ExportXlsxFromScn, "ExportXlsxFromScn", "ScenesExcelFromScn", "Convert scn to excel",
     KELVOR_TR_NOOP("Converting scn to excel for \"%s\""), R::InnerFile, "", "", KELVOR_TR_NOOP("no scn file"), {}},
    {&CommandModule::ExportXlsxByDate, "ExportXlsxByDate", "ScenesExcelfromDate",
     "Export to excel the list of scenes by date", KELVOR_TR_NOOP("Exporting to excel the list of scenes by date of \"%s\""),
     R::InnerGraph, "", "CreateScenes", KELVOR_TR_NOOP("not a DV file"), {}},
    {&CommandModule::ExportXlsxByContent, "ExportXlsxByContent", "ScenesExcelFromContenu",
     "Export to excel the list of scenes by content", KELVOR_TR_NOOP("Exporting to excel the list of scenes by content of \"%s\""),
     R::InnerGraph, "", "CreateScenes", KELVOR_TR_NOOP("no video"), {}},
};
// clang-format on

}  // namespace

std::string Command::Switch() const {
    return Lower(Letters.substr(0, 1));
}

std::span<const CommandInfo> CommandTable() {
    return kTable;
}

const CommandInfo* FindCommandInfo(std::string_view name) {
    const std::string key = Lower(name);
    for (const CommandInfo& row : kTable)
        if (Lower(row.Name) == key || Lower(row.Alias) == key)
            return &row;
    return nullptr;
}

const CommandInfo* CommandForLetter(char letter) {
    for (const CommandInfo& row : kTable)
        if (letter != 0 && std::string_view(row.Letters).find(letter) != std::string_view::npos)
            return &row;
    return nullptr;
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
    for (const CommandInfo& row : kTable) {
        Command& c = this->*row.Member;
        c.Name = row.Name;
        c.Alias = row.Alias;
        c.Runs = row.Runs;
        c.Letters = row.Letters;
        c.Template = row.Template;
        c.Requirement = row.Requirement;
        c.Action = row.Action;
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
    for (const CommandInfo& row : kTable) {
        Command& c = this->*row.Member;
        c.Caption = row.Caption;
        // The window's language, for the status line and the error dialog.
        c.ProgressMessage =
            *row.ProgressMessage ? Translate("kelvor::commands", row.ProgressMessage) : "";
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
        if (Lower(c->Name) == key || Lower(c->Alias) == key)
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
        conversionConfirmation(f, SameContainerSuffix(f, TimeDifferenceSuffix(CorrectionShift)),
                               msg);
    };
    ShiftTime.Execute = bind(&CommandModule::shiftTimeExecute);
    FixFrameRate.AppliesTo = bind(&CommandModule::fixFrameRateAppliesTo);
    FixFrameRate.Confirm = bind(&CommandModule::fixFrameRateConfirm);
    FixFrameRate.Execute = bind(&CommandModule::fixFrameRateExecute);
    FixCodec.AppliesTo = bind(&CommandModule::aviFileAppliesTo);
    FixCodec.Confirm = bind(&CommandModule::fixCodecConfirm);
    FixCodec.Execute = bind(&CommandModule::fixCodecExecute);
    ExportMp4.AppliesTo = bind(&CommandModule::exportMp4AppliesTo);
    ExportMp4.Execute = bind(&CommandModule::exportMp4Execute);

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
    RiffReport.AppliesTo = bind(&CommandModule::aviFileAppliesTo);
    RiffReport.Execute = bind(&CommandModule::riffReportExecute);
    for (Command* c : {&FixFrameRate, &FixCodec, &FixType2, &RiffReport})
        c->AviFilesOnly = true;
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
        result.failure = graphs.BuildError().empty()
                             ? Translate("kelvor::commands", "the graph cannot be built")
                             : graphs.BuildError();
        return;
    }
    progress.ProgressDuration = 0;
    if (run.Duration)
        progress.ProgressDuration = run.Duration();
    else if (progress.ProgressSeeking)
        progress.ProgressSeeking->GetDuration(progress.ProgressDuration);
    if (progress.ProgressDuration <= 0) {
        progress.ProgressDuration = 0;
        result.failure = Translate("kelvor::commands", "the video has no length");
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
        result.failure =
            why.empty() ? Translate("kelvor::commands", "the graph cannot start") : why;
    }
}

std::string CommandModule::OutputPath(const files::FileRecord& video,
                                      std::string_view suffix) const {
    return ConversionOutputPath(video, suffix, s_.Prefs);
}

std::string CommandModule::TimeDifferenceSuffix(double days) {
    return commands::TimeDifferenceSuffix(days);
}

std::string CommandModule::SceneOutputPath(const files::FileRecord& video, int k) const {
    return OutputPath(video, SameContainerSuffix(video, "_scene_" + std::to_string(k) + ".avi"));
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

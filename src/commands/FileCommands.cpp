// The commands on a file as a whole and on the preview: remove from the list, delete to the
// trash, show in the file manager, play, open with the configured programs, the RIFF report,
// and the two inlay toggles.
#include <sys/stat.h>

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "core/shell/DesktopServices.h"

namespace kelvor::commands {
namespace {

bool ProgramExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void Report(bool done, const std::string& failure, ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    if (!done)
        result.failure = failure;
}

// The inlay's two menu entries as the toggles leave them.
constexpr const char* kShowInlayCaption = KELVOR_TR_NOOP("Show inlay");
constexpr const char* kHideInlayCaption = KELVOR_TR_NOOP("Hide inlay");
constexpr const char* kShowSlidersCaption = KELVOR_TR_NOOP("Modify the position of Inlay");
constexpr const char* kHideSlidersCaption = KELVOR_TR_NOOP("Hide the sliders for Inlay");

}  // namespace

void CommandModule::removeFromListExecute(CommandParam&, const files::FileRecord&,
                                          ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::Delete;
}

void CommandModule::deleteFileAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                        bool& enabled) {
    visible = true;
    // The read-only attribute of the record: no write permission for the owner.
    enabled = (f.Attributes & S_IWUSR) != 0;
}

void CommandModule::deleteFileConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    const std::string bin =
        Translate("kelvor::commands", "If yes, it will be sent to the Recycle bin.");
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands", "Do you really want to delete %s ?"), {f.Name}) +
             "\r\n" + bin,
         Translate("kelvor::commands", "Do you really want to delete this file?") + "\r\n" + bin});
}

void CommandModule::deleteFileExecute(CommandParam&, const files::FileRecord& f,
                                      ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    if (s_.Desktop.RecycleFile(f.FullName))
        result.update = ListUpdate::Delete;
    else
        result.failure = Translate("kelvor::commands", "the file cannot be moved to the trash");
}

void CommandModule::showInFolderExecute(CommandParam&, const files::FileRecord& f,
                                        ExecutionResult& result) {
    Report(s_.Host.ShowInFileManager(f.FullName),
           Translate("kelvor::commands", "the file manager cannot be opened"), result);
}

void CommandModule::playInDefaultPlayerExecute(CommandParam&, const files::FileRecord& f,
                                               ExecutionResult& result) {
    Report(s_.Host.OpenDocument(f.FullName),
           Translate("kelvor::commands", "no player could be started for the file"), result);
}

void CommandModule::openInVarnoltCanStart(CommandParam&, bool& visible) {
    visible = ProgramExists(s_.Prefs.VarnoltProgram);
}

void CommandModule::openInVarnoltExecute(CommandParam&, const files::FileRecord& f,
                                         ExecutionResult& result) {
    // The image-grabbing program reads the file twice: as its file, and as its +F= switch.
    Report(s_.Host.StartProgram(s_.Prefs.VarnoltProgram, {f.FullName, "+F=" + f.FullName}),
           Translate("kelvor::commands", "the program cannot be started"), result);
}

void CommandModule::openWithF3CanStart(CommandParam&, bool& visible) {
    visible = ProgramExists(s_.Prefs.F3Program);
}

void CommandModule::openWithF3Execute(CommandParam&, const files::FileRecord& f,
                                      ExecutionResult& result) {
    Report(s_.Host.StartProgram(s_.Prefs.F3Program, {f.FullName}),
           Translate("kelvor::commands", "the program cannot be started"), result);
}

void CommandModule::openWithF4CanStart(CommandParam&, bool& visible) {
    visible = ProgramExists(s_.Prefs.F4Program);
}

void CommandModule::openWithF4Execute(CommandParam&, const files::FileRecord& f,
                                      ExecutionResult& result) {
    Report(s_.Host.StartProgram(s_.Prefs.F4Program, {f.FullName}),
           Translate("kelvor::commands", "the program cannot be started"), result);
}

void CommandModule::riffReportExecute(CommandParam&, const files::FileRecord& f,
                                      ExecutionResult& result) {
    Report(s_.Host.ShowRiffReport(f.FullName), "the RIFF report cannot be made", result);
}

void CommandModule::inlayAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                   bool& enabled) {
    visible = true;
    enabled = f.IsDV && (f.DVType == 2 || f.Codec == "dvsd");
}

bool CommandModule::toggleInlay() {
    settings::Preferences& p = s_.Prefs;
    if (p.IsInlayOn) {
        if (!s_.Host.SetPreviewInlay(false))
            return false;
        s_.Host.SetCommandCaption(ShowInlay.Name, kShowInlayCaption, kImageShowInlay);
        p.IsInlayOn = false;
        return true;
    }
    if (!s_.Host.SetPreviewInlay(true))
        return false;
    s_.Host.SetCommandCaption(ShowInlay.Name, kHideInlayCaption, kImageHideInlay);
    p.IsInlayOn = true;
    return true;
}

void CommandModule::showInlayExecute(CommandParam&, const files::FileRecord&,
                                     ExecutionResult& result) {
    Report(toggleInlay(), "there is no preview here", result);
}

void CommandModule::showInlaySlidersExecute(CommandParam&, const files::FileRecord&,
                                            ExecutionResult& result) {
    settings::Preferences& p = s_.Prefs;
    bool done = true;
    if (p.InlaySlidersVisible) {
        done = s_.Host.SetInlaySliders(false, !p.IsMuteOn);
        if (done) {
            p.InlaySlidersVisible = false;
            s_.Host.SetCommandCaption(ShowInlaySliders.Name, kShowSlidersCaption, -1);
        }
    } else {
        // The sliders move the inlay, so it is shown first; hiding them later leaves it on.
        done = (p.IsInlayOn || toggleInlay()) && s_.Host.SetInlaySliders(true, false);
        if (done) {
            p.InlaySlidersVisible = true;
            s_.Host.SetCommandCaption(ShowInlaySliders.Name, kHideSlidersCaption, -1);
        }
    }
    Report(done, "there is no preview here", result);
}

}  // namespace kelvor::commands

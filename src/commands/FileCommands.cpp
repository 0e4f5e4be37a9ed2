// The commands on a file as a whole and on the preview: remove from the list, delete to the
// trash, show in the file manager, play, open with the configured programs, the RIFF report,
// and the two inlay toggles.
#include <sys/stat.h>

#include "commands/CommandTexts.h"
#include "commands/Tch.h"
#include "core/shell/DesktopServices.h"

namespace kelvor::commands {
namespace {

bool ProgramExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void Report(bool done, const char* failure, TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    if (!done)
        result.failure = failure;
}

}  // namespace

void Tch::oterfichierExecution(TParam&, const files::TAfficherFichier&, TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utDelete;
}

void Tch::SupprimerFichierFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                        bool& enabled) {
    visible = true;
    // The read-only attribute of the record: no write permission for the owner.
    enabled = (f.Attributes & S_IWUSR) != 0;
}

void Tch::SupprimerFichierConfirmation(TParam&, const files::TAfficherFichier& f,
                                       std::string& msg) {
    msg = FirstFitting({"Do you really want to delete " + f.Name + " ?" + "\r\n" +
                            "If yes, it will be sent to the Recycle bin.",
                        std::string("Do you really want to delete this file?") + "\r\n" +
                            "If yes, it will be sent to the Recycle bin."});
}

void Tch::SupprimerFichierExecution(TParam&, const files::TAfficherFichier& f,
                                    TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    if (s_.Desktop.RecycleFile(f.FullName))
        result.update = utDelete;
    else
        result.failure = "the file cannot be moved to the trash";
}

void Tch::DossierParentExecution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    Report(s_.Host.ShowInFileManager(f.FullName), "the file manager cannot be opened", result);
}

void Tch::DefaultPlayerExecution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    Report(s_.Host.OpenDocument(f.FullName), "no player could be started for the file", result);
}

void Tch::VarnoltGeneralCondition(TParam&, bool& visible) {
    visible = ProgramExists(s_.Prefs.FichierVarnolt);
}

void Tch::VarnoltExecution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    // The image-grabbing program reads the file twice: as its file, and as its +F= switch.
    Report(s_.Host.StartProgram(s_.Prefs.FichierVarnolt, {f.FullName, "+F=" + f.FullName}),
           "the program cannot be started", result);
}

void Tch::OpenFichierF3GeneralCondition(TParam&, bool& visible) {
    visible = ProgramExists(s_.Prefs.FichierF3);
}

void Tch::OpenFichierF3Execution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    Report(s_.Host.StartProgram(s_.Prefs.FichierF3, {f.FullName}), "the program cannot be started",
           result);
}

void Tch::OpenFichierF4GeneralCondition(TParam&, bool& visible) {
    visible = ProgramExists(s_.Prefs.FichierF4);
}

void Tch::OpenFichierF4Execution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    Report(s_.Host.StartProgram(s_.Prefs.FichierF4, {f.FullName}), "the program cannot be started",
           result);
}

void Tch::RiffHeaderExecution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    Report(s_.Host.ShowRiffReport(f.FullName), "the RIFF report cannot be made", result);
}

void Tch::InlayFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                             bool& enabled) {
    visible = true;
    enabled = f.IsDV && (f.DVType == 2 || f.Codec == "dvsd");
}

bool Tch::toggleInlay() {
    settings::Preferences& p = s_.Prefs;
    if (p.IsIncrustOn) {
        if (!s_.Host.SetPreviewInlay(false))
            return false;
        s_.Host.SetCommandCaption(AfficherIncrustation.Name, "Show inlay", kImageShowInlay);
        p.IsIncrustOn = false;
        return true;
    }
    if (!s_.Host.SetPreviewInlay(true))
        return false;
    s_.Host.SetCommandCaption(AfficherIncrustation.Name, "Hide inlay", kImageHideInlay);
    p.IsIncrustOn = true;
    return true;
}

void Tch::AfficherIncrustationExecution(TParam&, const files::TAfficherFichier&,
                                        TExecutionResult& result) {
    Report(toggleInlay(), "there is no preview here", result);
}

void Tch::AfficherSlidersExecution(TParam&, const files::TAfficherFichier&,
                                   TExecutionResult& result) {
    settings::Preferences& p = s_.Prefs;
    bool done = true;
    if (p.IncrustSlidersVisible) {
        done = s_.Host.SetInlaySliders(false, !p.IsMuteOn);
        if (done) {
            p.IncrustSlidersVisible = false;
            s_.Host.SetCommandCaption(AfficherSliders.Name, "Modify the position of Inlay", -1);
        }
    } else {
        // The sliders move the inlay, so it is shown first; hiding them later leaves it on.
        done = (p.IsIncrustOn || toggleInlay()) && s_.Host.SetInlaySliders(true, false);
        if (done) {
            p.IncrustSlidersVisible = true;
            s_.Host.SetCommandCaption(AfficherSliders.Name, "Hide the sliders for Inlay", -1);
        }
    }
    Report(done, "there is no preview here", result);
}

}  // namespace kelvor::commands

// The modules of the program in their creation order, each handed the references it needs: the
// preferences, the desktop services and the run flags, then the main window (which parses the
// command line), the list probe, the conversion module, the header patcher and the command
// module, which the window is then given. No module reaches another through a global.
//
// One per program run (tests make one per case), on the UI thread, after the QApplication.
// Destroyed in the reverse order: the window first, which stops its workers and its scanner.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "commands/CommandModule.h"
#include "commands/RunControl.h"
#include "core/avi/AviHeaderPatcher.h"
#include "core/settings/Preferences.h"
#include "core/settings/PreferencesStore.h"
#include "media/graphs/ConversionGraphs.h"
#include "media/graphs/ProbeGraph.h"
#include "ui/MainWindow.h"

namespace kelvor::shell {
class DesktopServices;
}

namespace kelvor::app {

struct ProgramOptions {
    // The command line without the program's own name.
    std::vector<std::string> Arguments;
    // Where the preferences live and the desktop facts; the running system's when not given.
    std::unique_ptr<settings::PreferencesEnvironment> Env;
    // The desktop services; the running desktop's when null. Not owned.
    shell::DesktopServices* Desktop = nullptr;
};

class Program {
  public:
    explicit Program(ProgramOptions options);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ui::MainWindow& Window() { return *form_; }
    commands::CommandModule& Module() { return *module_; }
    settings::Preferences& Prefs() { return prefs_; }
    commands::RunControl& Control() { return control_; }

  private:
    settings::Preferences prefs_;
    std::unique_ptr<shell::DesktopServices> ownDesktop_;
    shell::DesktopServices* desktop_;
    commands::RunControl control_;
    std::unique_ptr<ui::MainWindow> form_;
    // Created after the window, in this order. The command module needs the conversion module
    // and the patcher, so it comes after them rather than right after the window. The
    // time-difference, frame-rate, RIFF and codec windows and the preview graph module take
    // their places here once they exist.
    std::unique_ptr<media::ProbeGraph> probe_;
    std::unique_ptr<media::ConversionGraphs> graphs_;
    std::unique_ptr<avi::AviHeaderPatcher> patcher_;
    std::unique_ptr<commands::CommandModule> module_;
};

}  // namespace kelvor::app

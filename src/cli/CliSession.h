// The modules a command verb of kelvor-cli works with, created in the program's order: the
// preferences, the list probe, the conversion module, the header patcher, the desktop services,
// the run flags, the list, the terminal host and the command module. Before them, unless the run
// draws no picture, a QGuiApplication on the offscreen platform, which the datecode inlay draws
// its text with; the program never shows a window.
//
// One per verb run, on the main thread; the workers it starts use it while the main thread
// waits for them.
#pragma once

#include <memory>
#include <string_view>

#include "cli/CliHost.h"
#include "cli/VerbArgs.h"
#include "commands/CommandModule.h"
#include "commands/FileList.h"
#include "commands/RunControl.h"
#include "commands/Workers.h"
#include "core/avi/AviHeaderPatcher.h"
#include "core/settings/Preferences.h"
#include "media/graphs/ConversionGraphs.h"
#include "media/graphs/ProbeGraph.h"
#include "platform/QtDesktopServices.h"

namespace kelvor::cli {

class Session {
  public:
    // `pictures` false for a run that only copies streams, which then does without the
    // application object's start-up and shutdown (platform plugin, fonts).
    explicit Session(HostOptions options, bool pictures = true);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    commands::WorkerServices Services() { return {Host, Control, Module, Graphs}; }

    // Null when the program already has an application object.
    std::shared_ptr<void> Gui;
    settings::Preferences Prefs;
    LocaleInfo Locale;
    media::ProbeGraph Probe;
    media::ConversionGraphs Graphs;
    avi::AviHeaderPatcher Patcher;
    platform::QtDesktopServices Desktop;
    commands::RunControl Control;
    commands::FileList List;
    TerminalHost Host;
    commands::CommandModule Module;
};

// Whether a run of the command may draw a picture (the datecode inlay) and so needs Qt Gui; false
// for the commands that only copy streams and sound.
bool CommandDrawsPictures(std::string_view command);

// The answer, report, progress, dry-run and output folder options every run shares, from the
// verb's parsed arguments into the host's options; empty when they are consistent, otherwise why
// not.
std::string TakeRunOptions(const VerbArgs& a, HostOptions& options);

}  // namespace kelvor::cli

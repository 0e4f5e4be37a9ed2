// Runs a script of switches as the window does at its first activation: list switches load or
// empty the list, command switches run their command on the selected files (with the same
// conditions and questions as from the menus) and are waited for, one after the other, while
// the stop flag (Shift+Esc) stays clear.
//
// Runs on the front end's thread; the host's WaitForRun keeps the front end alive while a
// command runs on a worker. Decisions where the program never said: X with no current file
// takes the first selected file; V runs the spreadsheet export of the scenes (ExportXlsx).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/ScriptParser.h"
#include "commands/Workers.h"

namespace kelvor::commands {

// A switch letter of the runner's own (the list, the script file, the X choice, closing) and
// what it does; the letters of the commands are in the command table.
struct SwitchMeaning {
    char Letter;
    const char* Meaning;
};
const std::vector<SwitchMeaning>& SwitchMeanings();

// A decimal number as a script value gives it: optional sign, digits, one decimal separator
// ("." or ","); no value for anything else (an empty value included).
std::optional<double> ScriptNumber(const std::string& value);

// Why a value of a number switch or option is refused ("+Y=abc", "--fps abc"); empty when
// ScriptNumber takes it.
std::string NumberRefusal(const std::string& value);
// Why a time shift is refused: a shift of 0 would only write a copy, so the window runs nothing
// for it either; empty for any other shift.
std::string ShiftRefusal(double days);

class ScriptRunner {
  public:
    explicit ScriptRunner(WorkerServices services) : s_(services) {}

    struct Result {
        bool CloseRequested = false;  // the script held H
    };
    // Runs every switch in order while the stop flag is clear, then empties the script.
    Result Run(Script& script);
    // One switch; false when it started nothing (no selected file, nothing applies, a value
    // that is not a number, an unknown letter). A switch that cannot run for a reason of its own
    // (its value, its letter, its file) is reported to the host's SwitchRefused.
    bool RunSwitch(const ScriptSwitch& p, Result& result);
    // The command on the selected files with the worker its work needs (mono commands on each
    // selected file in turn); false when it started nothing, also when its general condition
    // says it is not available.
    bool RunCommand(const Command& command);

  private:
    // Waits for a started worker; false when none was started.
    bool wait(std::unique_ptr<CommandWorker> worker);
    // The command of that name with the given worker.
    bool runAs(const std::string& name, RunsAs runs);
    bool runScenesText();
    bool loadFiles(const std::string& mask);
    bool loadPlaylist(const ScriptSwitch& p);
    // Reports the switch as refused; always false.
    bool refuse(const ScriptSwitch& p, const std::string& why);

    WorkerServices s_;
};

}  // namespace kelvor::commands

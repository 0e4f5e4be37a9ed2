// One user command: its names, caption, progress message, script letters, window action,
// template and four handlers; and what an execution tells the list. The values come from the
// command table (CommandModule.cpp), the handlers from the module.
//
// A Command is a plain value: the command module owns one per command for the program's
// life, and each worker runs a private copy. Handlers are called by the workers (conditions,
// confirmations and executions on the worker's thread) and by mono runs (on the caller's
// thread); they never touch the list or a widget, and never let an exception out except the
// graph executions, whose escapes the graph worker reports.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/files/FileRecord.h"

namespace kelvor::commands {

// The list update an execution returns.
enum class ListUpdate {
    None = 0,    // nothing
    Add = 1,     // add the file NewFile to the list
    Delete = 2,  // remove the processed file's item
    Modify = 3,  // re-read the processed file's record
    Rename = 4,  // the processed file is now NewFile
};

// "utNone", "utAdd", ... for reports.
const char* UpdateTypeName(ListUpdate update);

// The parameter block every handler receives; no command reads it.
using CommandParam = std::array<std::uint8_t, 264>;

// What an execution did to one file. A handler sets update and NewFile before anything can
// fail; failure says why the file could not be processed (empty when it was), so a front end
// can tell the user; it changes nothing in the list.
struct ExecutionResult {
    std::string NewFile;
    ListUpdate update = ListUpdate::None;
    std::string failure;
    // The user stopped the run inside the handler; reported as the stopped graph runs are.
    bool aborted = false;
};

using CanStartHandler = std::function<void(CommandParam& param, bool& visible)>;
using AppliesToHandler = std::function<void(CommandParam& param, const files::FileRecord& file,
                                            bool& visible, bool& enabled)>;
using ConfirmHandler = std::function<void(CommandParam& param, const files::FileRecord& file,
                                          std::string& confirmMsg)>;
using ExecuteHandler = std::function<void(CommandParam& param, const files::FileRecord& file,
                                          ExecutionResult& result)>;

// How the window starts a command; Inner commands are only run from another command's
// execution (or named directly by kelvor-cli, with the worker their work needs).
enum class RunsAs { Mono, File, Graph, InnerFile, InnerGraph };

// The icon of a command's window action.
enum class CommandIcon {
    Command,
    Parent,
    Riff,
    Play,
    DefaultPlayer,
    ShowInlay,
    Remove,
    Trash,
    Rename,
    Convert,
    Scenes
};

// Marks a text that the window shows in the user's language (Qt's lupdate collects the marks in
// the context "kelvor::commands"); the text itself stays English for kelvor-cli and the files.
#define KELVOR_TR_NOOP(text) text

// Where a command appears in the main window; a command without a menu has no window action.
struct CommandAction {
    const char* Caption = "";  // the menu entry's text
    const char* Keys = "";     // the key in Qt's portable text ("Ctrl+D"), or ""
    const char* Menu = "";     // "Files", "Video", "Rename", "Convert", "Scenes", or ""
    CommandIcon Icon = CommandIcon::Command;
    bool SeparatorBefore = false;  // in its menu
};

struct Command {
    std::string Name;   // the English name, as the command table gives it
    std::string Alias;  // the historic name, still accepted wherever a name is typed
    // Progress message with one "%s" for the file name; empty means no progress display.
    std::string ProgressMessage;
    std::string Caption;
    ConfirmHandler Confirm;
    ExecuteHandler Execute;
    AppliesToHandler AppliesTo;
    CanStartHandler CanStart;
    // The template whose handlers fill in the ones this command lacks; empty for none.
    std::string Template;
    CommandParam Param{};

    // How the command runs, and what a file lacks when the file condition excludes it ("not a
    // DV file"), for front ends that say why.
    RunsAs Runs = RunsAs::File;
    std::string Requirement;
    // The command patches or reads AVI headers: a file in another container is passed over
    // because it is not AVI, whatever Requirement says.
    bool AviFilesOnly = false;
    // The script letters that run it (upper case; "NM" for two), or empty.
    std::string Letters;
    CommandAction Action;

    // The first script letter in lower case, or empty.
    std::string Switch() const;
};

// The answers of a confirmation.
enum class Answer { Yes, No, Cancel, NoToAll, YesToAll };

// A file of a run: the list item's text and its record, shared with the list so that a list
// update on the front end's thread never frees a record the worker still reads.
struct FileItem {
    std::string Text;
    std::shared_ptr<const files::FileRecord> Record;
    const std::string& FullName() const { return Record->FullName; }
};

}  // namespace kelvor::commands

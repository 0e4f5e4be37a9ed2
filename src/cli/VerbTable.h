// The verbs of kelvor-cli with their options and help texts: the program's own verbs and one
// verb per command of the command table, named in kebab case after the command's English name
// (AddDatecode: add-datecode). The usage, `help VERB`, `VERB --help` and the option parsing all
// read this one table. Pure data built once; any thread may read it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Verbs.h"

namespace kelvor::commands {
struct CommandInfo;
}

namespace kelvor::cli {

struct OptionHelp {
    std::string Name;   // "--json"
    std::string Value;  // "DIR" for an option that takes a value; empty for a flag
    std::string Help;
};

struct VerbInfo {
    std::string Name;
    std::vector<std::string> Aliases;                // other names the verb answers to
    std::string Operands;                            // "FILE..."
    std::string Summary;                             // one line
    std::vector<OptionHelp> Options;                 // without --help, which every verb takes
    int (*Run)(Args) = nullptr;                      // the program's own verbs
    const commands::CommandInfo* Command = nullptr;  // a command verb

    std::vector<std::string> Flags() const;
    std::vector<std::string> Valued() const;
    // "to-ntsc [--json] [--output-dir DIR] ... FILE..."
    std::string Synopsis() const;
};

// "AddDatecode" -> "add-datecode", "ToType2" -> "to-type2", "OpenWithF3" -> "open-with-f3".
std::string KebabName(std::string_view camel);

// The program's verbs first, then the command verbs in table order.
const std::vector<VerbInfo>& AllVerbs();
// The verb of that name or alias; null for none.
const VerbInfo* FindVerb(std::string_view name);
// The command a name given to `do` means: its English name in any case, in kebab or camel
// case, its historic name, a short verb alias (fix-fps) or its script letter. Null for none.
const commands::CommandInfo* FindCommandByAnyName(std::string_view name);

// The command's options as its verb takes them (also what `do` accepts for it).
std::vector<OptionHelp> CommandOptions(const commands::CommandInfo& command);
// Whether the command writes files (renames, new files, repairs, deletions).
bool CommandWrites(const commands::CommandInfo& command);
// Whether the command writes new files whose folder --output-dir chooses.
bool CommandWritesNewFiles(const commands::CommandInfo& command);

// `kelvor-cli --help`: every verb with its summary, the exit statuses.
void PrintUsage(std::FILE* to);
// `kelvor-cli help VERB`, `kelvor-cli VERB --help`.
void PrintVerbHelp(const VerbInfo& verb, std::FILE* to);
// `kelvor-cli --version`.
void PrintVersion(std::FILE* to);

// Runs a command verb: the command on the files the arguments name.
int RunCommandVerb(const VerbInfo& verb, Args args);

}  // namespace kelvor::cli

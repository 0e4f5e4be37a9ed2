// What every verb of kelvor-cli shares: its arguments split into options and files, and one rule
// for what it tells the user. Errors go to stderr as "kelvor-cli VERB: FILE: reason"; a verb
// exits with 0 when every file was processed, 1 when a file could not be, 2 for a usage error.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Verbs.h"

namespace kelvor::cli {

struct VerbArgs {
    std::vector<std::string> Files;
    std::set<std::string, std::less<>> Flags;                // options given without value
    std::map<std::string, std::string, std::less<>> Values;  // options given with a value
    std::string Error;                                       // a usage error; empty if none

    bool Has(std::string_view flag) const { return Flags.contains(flag); }
};

// flags: options standing alone ("--json"); valued: options taking the next argument
// ("--save"). An argument "--" ends the options, so a file may begin with '-'. An unknown option
// or a valued option without its value is a usage error.
VerbArgs ParseVerbArgs(Args args, std::initializer_list<std::string_view> flags,
                       std::initializer_list<std::string_view> valued = {});

// Prints "kelvor-cli VERB: why" (when why is not empty) and the usage line; returns 2.
int UsageError(std::string_view verb, const std::string& why, std::string_view usage);
// Prints "kelvor-cli VERB: FILE: reason".
void FileError(std::string_view verb, const std::string& file, const std::string& reason);

}  // namespace kelvor::cli

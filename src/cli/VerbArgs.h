// What every verb of kelvor-cli shares: its arguments split into options and files, and one rule
// for what it tells the user. Errors go to stderr as "kelvor-cli VERB: FILE: reason". Exit
// statuses: 0 when every file was processed, 1 when a file failed, 2 for a usage error, 3 when
// nothing was done because no file applied (each file passed over is named with the reason).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Verbs.h"

namespace kelvor::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNothingApplied = 3;

struct VerbArgs {
    std::vector<std::string> Files;
    std::set<std::string, std::less<>> Flags;                // options given without value
    std::map<std::string, std::string, std::less<>> Values;  // options given with a value
    std::string Error;                                       // a usage error; empty if none

    bool Has(std::string_view flag) const { return Flags.contains(flag); }
    const std::string* Value(std::string_view option) const {
        const auto it = Values.find(option);
        return it == Values.end() ? nullptr : &it->second;
    }
};

// flags: options standing alone ("--json"); valued: options taking a value, as the next
// argument or after '=' ("--save LOG", "--save=LOG"). Options begin with "--"; every other
// argument is a file (or a script switch such as "-d"), in the order given, and an argument "--"
// ends the options, so a file may begin with "--". An unknown option or a valued option without
// its value is a usage error. QCommandLineParser checks and reads the options.
VerbArgs ParseVerbArgs(Args args, std::initializer_list<std::string_view> flags,
                       std::initializer_list<std::string_view> valued = {});
VerbArgs ParseVerbArgs(Args args, const std::vector<std::string>& flags,
                       const std::vector<std::string>& valued);

// "[-]H:MM[:SS]" (the value of --by) as days; no value for anything else.
std::optional<double> DurationDays(const std::string& text);

// Prints "kelvor-cli VERB: why" (when why is not empty) and the usage line; returns 2.
int UsageError(std::string_view verb, const std::string& why, std::string_view usage);
// Prints "kelvor-cli VERB: FILE: reason".
void FileError(std::string_view verb, const std::string& file, const std::string& reason);

}  // namespace kelvor::cli

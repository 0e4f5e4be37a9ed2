// kelvor-cli: the headless front end. One verb per run; see `kelvor-cli --help`.
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli/CliHost.h"
#include "cli/VerbArgs.h"
#include "cli/VerbTable.h"
#include "media/engine/LibraryLog.h"

namespace {

using kelvor::cli::VerbInfo;

// Whether the arguments ask for the verb's help: --help (or -h, except in a script, where it is
// the switch H) before an argument "--".
bool AsksForHelp(const VerbInfo& verb, kelvor::cli::Args args) {
    for (std::string_view a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || (a == "-h" && verb.Name != "script"))
            return true;
    }
    return false;
}

int UnknownVerb(std::string_view name) {
    std::fprintf(stderr, "kelvor-cli: unknown verb '%.*s'\n(kelvor-cli --help lists the verbs)\n",
                 static_cast<int>(name.size()), name.data());
    return kelvor::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvor::cli;
    // The one option before the verb, for every verb (as git's are): the libraries' messages.
    int first = 1;
    const bool verbose =
        argc > 1 && (std::string_view(argv[1]) == "--verbose" || std::string_view(argv[1]) == "-v");
    if (verbose)
        ++first;
    kelvor::media::RouteLibraryLog(verbose, "kelvor-cli");
    if (argc <= first) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string_view name = argv[first];
    const std::vector<std::string_view> rest(argv + first + 1, argv + argc);
    if (name == "--version" || name == "-V") {
        PrintVersion(stdout);
        return kExitDone;
    }
    if (name == "--help" || name == "-h") {
        PrintUsage(stdout);
        return kExitDone;
    }
    if (name == "help") {
        if (rest.empty()) {
            PrintUsage(stdout);
            return kExitDone;
        }
        const VerbInfo* verb = FindVerb(rest.front());
        if (!verb)
            return UnknownVerb(rest.front());
        PrintVerbHelp(*verb, stdout);
        return kExitDone;
    }
    const VerbInfo* verb = FindVerb(name);
    if (!verb)
        return UnknownVerb(name);
    if (AsksForHelp(*verb, rest)) {
        PrintVerbHelp(*verb, stdout);
        return kExitDone;
    }
    const int status = verb->Run ? verb->Run(rest) : RunCommandVerb(*verb, rest);
    // A run stopped by SIGTERM or SIGHUP ends as the shells report a signal: 128 + its number.
    if (const int signal = InterruptGuard::TerminatingSignal()) {
        std::fprintf(stderr, "kelvor-cli: stopped by %s\n", ::strsignal(signal));
        return 128 + signal;
    }
    return status;
}

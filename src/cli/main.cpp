// kelvor-cli: the headless front end. One verb per run; see `kelvor-cli help`.
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/Verbs.h"

namespace {

struct Verb {
    std::string_view name;
    int (*run)(kelvor::cli::Args);
    std::string_view help;
};

constexpr Verb kVerbs[] = {
    {"about", kelvor::cli::runAbout,
     "about [--check]       the program's name and version; with --check the media engine's\n"
     "                        filters and the system report"},
    {"packs", kelvor::cli::runPacks,
     "packs FILE.dv...      datecode, timecode and format of every frame of raw DV files"},
    {"riff", kelvor::cli::runRiff,
     "riff FILE [--save LOG] the RIFF structure report of an AVI file"},
    {"prefs", kelvor::cli::runPrefs,
     "prefs [delete]        the preferences as loaded, or delete them"},
    {"info", kelvor::cli::runInfo,
     "info [--json] FILE...  each file's record as the information panel shows it"},
    {"scenes", kelvor::cli::runScenes,
     "scenes [--text] [--xlsx] [--srt] FILE...  scn file by date (and lists, subtitles)"},
    {"probe", kelvor::cli::runProbe,
     "probe FILE...         streams, formats, durations and first DV frame of AVI files"},
    {"script", kelvor::cli::runScript,
     "script [--yes-to-all | --no-to-all] [--json] ARG...  run a script of switches"},
    {"do", kelvor::cli::runDo,
     "do COMMAND [--yes-to-all | --no-to-all] [--json] [--dry-run] [--shift DAYS] [--fps N]\n"
     "     [--codec CODE] FILE...  run one command (its name or script letter) on the files"},
};

int usage(std::FILE* to) {
    std::fprintf(to, "usage: kelvor-cli VERB [ARGUMENTS]\n");
    for (const Verb& v : kVerbs)
        std::fprintf(to, "  %.*s\n", static_cast<int>(v.help.size()), v.help.data());
    if (to == stdout)
        kelvor::cli::PrintCommandHelp(to);
    return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage(stderr);
    const std::string_view name = argv[1];
    if (name == "help" || name == "--help" || name == "-h")
        return usage(stdout);
    std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const Verb& v : kVerbs)
        if (v.name == name)
            return v.run(args);
    std::fprintf(stderr, "kelvor-cli: unknown verb '%s'\n", argv[1]);
    return usage(stderr);
}

#include "cli/VerbTable.h"

#include <cctype>

#include "commands/CommandModule.h"

namespace kelvor::cli {
namespace {

// Shorter names users know a few commands by.
struct ShortName {
    const char* Verb;
    const char* Command;
};
constexpr ShortName kShortNames[] = {
    {"fix-fps", "FixFrameRate"},
    {"recompress", "RecompressToDv"},
};

// Commands that only show or open something, so they take no answer or dry-run options.
constexpr std::string_view kViewers[] = {
    "ShowInFolder", "RiffReport",          "OpenInVarnolt", "RemoveFromList",   "OpenWithF3",
    "OpenWithF4",   "PlayInDefaultPlayer", "ShowInlay",     "ShowInlaySliders",
};

// Commands whose new files are named by the output path rule (beside the source, or in the
// save folder), which --output-dir replaces.
constexpr std::string_view kNewFileWriters[] = {
    "ToType1",  "ToType2",      "ToNtsc",    "ToPal",     "InlayDatecode", "RecompressToDv",
    "FixType2", "ExtractAudio", "ShiftTime", "CutScenes", "ExportMp4",
};

template <std::size_t N>
bool Holds(const std::string_view (&names)[N], std::string_view name) {
    for (std::string_view n : names)
        if (n == name)
            return true;
    return false;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

const OptionHelp kJson{"--json", "",
                       "print a JSON report on stdout (schema 1, docs/json-schema.md)"};

const OptionHelp kYesToAll{"--yes-to-all", "", "answer yes to every question"};
const OptionHelp kNoToAll{"--no-to-all", "",
                          "answer no to every question (the default without a terminal)"};
const OptionHelp kDryRun{"--dry-run", "", "say what would be done and change nothing"};
const OptionHelp kProgress{"--progress", "",
                           "print progress lines on stderr also when it is no terminal"};

std::vector<VerbInfo> BuildVerbs() {
    std::vector<VerbInfo> v = {
        {"about",
         {},
         "",
         "the program's name and version; with --check the engine's filters "
         "and the system report",
         {{"--check", "", "test the media engine's filters and print the system report"}},
         runAbout},
        {"packs",
         {},
         "FILE.dv...",
         "datecode, timecode and format of every frame of raw DV files",
         {},
         runPacks},
        {"riff",
         {},
         "FILE",
         "the RIFF structure report of an AVI file",
         {{"--save", "LOG", "also save the report in LOG (never over a video)"}},
         runRiff},
        {"prefs", {}, "[delete]", "the preferences as loaded, or delete them", {}, runPrefs},
        {"info",
         {},
         "FILE...",
         "each file's record as the information panel shows it",
         {kJson},
         runInfo},
        {"scenes",
         {},
         "FILE...",
         "the scn file by date beside each video (as scenes-by-date), and on request the lists "
         "and subtitles, in one pass",
         {{"--text", "", "also write the extended text list (NAME_scn.txt)"},
          {"--xlsx", "", "also write the extended spreadsheet (NAME.xlsx)"},
          {"--srt", "", "also write the subtitle file (NAME.srt)"},
          kYesToAll,
          kNoToAll,
          kJson,
          kProgress},
         runScenes},
        {"export-mkv",
         {},
         "FILE...",
         "the lossless Matroska archive of each DV video: every DV frame as it is, the sound as "
         "PCM, a chapter per scene (the scn's, else by date) with its recording date, the "
         "datecode as subtitles",
         {{"--per-scene", "", "one file per scene, named after its first datecode"},
          {"--name", "PATTERN",
           "the date-time pattern of the scene files' names (default yyyy-mm-dd hh.nn.ss)"},
          {"--output-dir", "DIR", "write new files into DIR instead of beside the source"},
          kYesToAll,
          kNoToAll,
          kJson,
          kProgress},
         runExportMkv},
        {"export-chapters",
         {},
         "FILE...",
         "a chapter file of each DV video's scenes (the scn's, else by date) for other programs, "
         "with frame-exact times: NAME.ffmeta, NAME.chapters.vtt, NAME.chapters.xml or NAME.edl",
         {{"--format", "F",
           "ffmetadata (FFmpeg's metadata file), webvtt (chapter cues), mkvxml (Matroska "
           "chapters XML) or edl (CMX 3600, recording dates as comments)"},
          {"--output-dir", "DIR", "write new files into DIR instead of beside the source"},
          kYesToAll,
          kNoToAll,
          kJson},
         runExportChapters},
        {"probe",
         {},
         "FILE...",
         "streams, formats, durations and first DV frame of AVI files",
         {},
         runProbe},
        {"script",
         {},
         "ARG...",
         "run a script: files (wildcards * and ?) and switches +LETTER or +LETTER=VALUE (also "
         "-LETTER, /LETTER); +L=SCRIPTFILE reads switches from a file",
         {kYesToAll,
          kNoToAll,
          kJson,
          kProgress,
          {"--output-dir", "DIR", "write new files into DIR instead of beside the source"}},
         runScript},
        {"do",
         {},
         "COMMAND FILE...",
         "run one command, named in English (to-ntsc, ToNtsc), by its historic name or by its "
         "script letter",
         {kYesToAll,
          kNoToAll,
          kJson,
          kDryRun,
          kProgress,
          {"--output-dir", "DIR", "write new files into DIR instead of beside the source"},
          {"--by", "[-]H:MM[:SS]", "shift-time: the time difference"},
          {"--days", "N", "shift-time: the time difference in days (decimal)"},
          {"--shift", "DAYS", "shift-time: as --days"},
          {"--fps", "N", "fix-frame-rate: the frame rate to write"},
          {"--fourcc", "CODE", "fix-codec: the codec code to write (four characters)"},
          {"--codec", "CODE", "fix-codec: as --fourcc"}},
         runDo},
    };
    for (const commands::CommandInfo& c : commands::CommandTable()) {
        VerbInfo verb;
        verb.Name = KebabName(c.Name);
        for (const ShortName& s : kShortNames)
            if (std::string_view(s.Command) == c.Name)
                verb.Aliases.emplace_back(s.Verb);
        verb.Operands = "FILE...";
        verb.Summary = c.Caption[0] ? c.Caption : c.Action.Caption;
        while (!verb.Summary.empty() && verb.Summary.back() == ' ')
            verb.Summary.pop_back();
        if (c.Letters[0])
            verb.Summary += std::string(" (script letter ") + c.Letters[0] + ")";
        verb.Options = CommandOptions(c);
        verb.Command = &c;
        v.push_back(std::move(verb));
    }
    return v;
}

void PrintOptions(const std::vector<OptionHelp>& options, std::FILE* to) {
    for (const OptionHelp& o : options) {
        const std::string left = o.Name + (o.Value.empty() ? "" : " " + o.Value);
        std::fprintf(to, "  %-24s %s\n", left.c_str(), o.Help.c_str());
    }
    std::fprintf(to, "  %-24s %s\n", "--help", "print this help and exit");
}

constexpr const char* kExitStatuses =
    "exit status:\n"
    "  0  every file was processed\n"
    "  1  at least one file failed (each is named on stderr with the reason)\n"
    "  2  usage error\n"
    "  3  nothing was done: no file applied (each file passed over is named with the reason:\n"
    "     no datecode, not DV, declined...)\n"
    "  129, 143  stopped by SIGHUP or SIGTERM (128 + the signal): the run's temporary files are\n"
    "     removed, a conversion stopped midway keeps what it wrote as Ctrl+C does\n";

}  // namespace

std::string KebabName(std::string_view camel) {
    std::string out;
    for (std::size_t i = 0; i < camel.size(); ++i) {
        const auto c = static_cast<unsigned char>(camel[i]);
        if (std::isupper(c) && i > 0 && !std::isupper(static_cast<unsigned char>(camel[i - 1])))
            out += '-';
        out += static_cast<char>(std::tolower(c));
    }
    return out;
}

std::vector<std::string> VerbInfo::Flags() const {
    std::vector<std::string> out;
    for (const OptionHelp& o : Options)
        if (o.Value.empty())
            out.push_back(o.Name);
    return out;
}

std::vector<std::string> VerbInfo::Valued() const {
    std::vector<std::string> out;
    for (const OptionHelp& o : Options)
        if (!o.Value.empty())
            out.push_back(o.Name);
    return out;
}

std::string VerbInfo::Synopsis() const {
    std::string out = Name;
    for (const OptionHelp& o : Options)
        out += " [" + o.Name + (o.Value.empty() ? "" : " " + o.Value) + "]";
    if (!Operands.empty())
        out += " " + Operands;
    return out;
}

std::vector<OptionHelp> CommandOptions(const commands::CommandInfo& command) {
    const std::string_view name = command.Name;
    std::vector<OptionHelp> o;
    if (name == "ShiftTime") {
        o.push_back({"--by", "[-]H:MM[:SS]", "the time difference to add (required, or --days)"});
        o.push_back({"--days", "N", "the time difference in days, decimal (or --by)"});
    } else if (name == "FixFrameRate") {
        o.push_back({"--fps", "N", "the frame rate to write into the header (required)"});
    } else if (name == "ExportMp4") {
        o.push_back({"--whole", "", "one file with a chapter per scene instead of one per scene"});
        o.push_back({"--name", "PATTERN",
                     "the date pattern of the names (default \"yyyy-mm-dd hh.nn.ss\", the "
                     "preference)"});
        o.push_back({"--timezone", "ZONE",
                     "the time zone of the recording, an IANA id such as Europe/Paris (default: "
                     "the system's)"});
        o.push_back({"--double-rate", "", "one picture per field: 50 or 59.94 a second"});
        o.push_back({"--crf", "N", "x264's quality, 0 to 51, lower is better (default 20)"});
        o.push_back({"--preset", "NAME", "x264's preset, ultrafast to veryslow (default medium)"});
        o.push_back({"--inlay", "SECONDS",
                     "burn the recording date into the first SECONDS of each scene, as "
                     "inlay-datecode draws it (default 0: none, the preference)"});
    } else if (name == "FixCodec") {
        o.push_back({"--fourcc", "CODE",
                     "the codec code to write, up to four characters "
                     "(required)"});
    }
    if (CommandWritesNewFiles(command))
        o.push_back({"--output-dir", "DIR",
                     "write the new files into DIR instead of beside the "
                     "source"});
    if (CommandWrites(command)) {
        o.push_back(kDryRun);
        o.push_back(kYesToAll);
        o.push_back(kNoToAll);
    }
    if (command.Runs == commands::RunsAs::Graph || command.Runs == commands::RunsAs::InnerGraph)
        o.push_back(kProgress);
    o.push_back(kJson);
    return o;
}

bool CommandWrites(const commands::CommandInfo& command) {
    return !Holds(kViewers, command.Name);
}

bool CommandWritesNewFiles(const commands::CommandInfo& command) {
    return Holds(kNewFileWriters, command.Name);
}

const std::vector<VerbInfo>& AllVerbs() {
    static const std::vector<VerbInfo> verbs = BuildVerbs();
    return verbs;
}

const VerbInfo* FindVerb(std::string_view name) {
    for (const VerbInfo& v : AllVerbs()) {
        if (v.Name == name)
            return &v;
        for (const std::string& a : v.Aliases)
            if (a == name)
                return &v;
    }
    return nullptr;
}

const commands::CommandInfo* FindCommandByAnyName(std::string_view name) {
    if (name.empty())
        return nullptr;
    if (name.size() == 1) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        return commands::CommandForLetter(letter);
    }
    if (const commands::CommandInfo* row = commands::FindCommandInfo(name))
        return row;
    const std::string key = Lower(name);
    for (const ShortName& s : kShortNames)
        if (key == s.Verb)
            return commands::FindCommandInfo(s.Command);
    for (const commands::CommandInfo& row : commands::CommandTable())
        if (KebabName(row.Name) == key)
            return &row;
    return nullptr;
}

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: kelvor-cli [--verbose] VERB [OPTION...] [FILE...]\n"
                 "       kelvor-cli --version | --help | help VERB | VERB --help\n"
                 "  --verbose, -v  show the media libraries' own messages on stderr (kept out\n"
                 "                 otherwise)\n"
                 "\nverbs:\n");
    for (const VerbInfo& v : AllVerbs()) {
        if (v.Command)
            continue;
        std::fprintf(to, "  %-26s %s\n", (v.Name + " " + v.Operands).c_str(), v.Summary.c_str());
    }
    std::fprintf(to, "\ncommand verbs (kelvor-cli VERB FILE..., or kelvor-cli do VERB FILE...):\n");
    for (const VerbInfo& v : AllVerbs()) {
        if (!v.Command)
            continue;
        std::string name = v.Name;
        for (const std::string& a : v.Aliases)
            name += ", " + a;
        std::fprintf(to, "  %-26s %s\n", name.c_str(), v.Summary.c_str());
    }
    PrintCommandHelp(to);
    std::fprintf(to, "\n%s", kExitStatuses);
}

void PrintVerbHelp(const VerbInfo& verb, std::FILE* to) {
    std::fprintf(to, "usage: kelvor-cli %s\n\n%s\n", verb.Synopsis().c_str(), verb.Summary.c_str());
    if (!verb.Aliases.empty()) {
        std::fprintf(to, "also named:");
        for (const std::string& a : verb.Aliases)
            std::fprintf(to, " %s", a.c_str());
        std::fprintf(to, "\n");
    }
    if (verb.Command) {
        const commands::CommandInfo& c = *verb.Command;
        std::fprintf(to, "command %s, also named %s", c.Name, c.Alias);
        if (c.Letters[0])
            std::fprintf(to, ", script letter %s", c.Letters);
        std::fprintf(to, "\n");
        if (c.Requirement[0])
            std::fprintf(to, "a file is passed over when: %s\n", c.Requirement);
    }
    std::fprintf(to, "\noptions:\n");
    PrintOptions(verb.Options, to);
    if (verb.Name == "script" || verb.Name == "do")
        PrintCommandHelp(to);
    std::fprintf(to, "\n%s", kExitStatuses);
}

}  // namespace kelvor::cli

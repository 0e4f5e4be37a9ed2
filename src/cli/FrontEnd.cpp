// kelvor-cli: the light front end (see FrontEnd.h). Only the verbs info, packs, riff and prefs,
// the plain scenes by date, the plain stream copies and --version run here; info, the scenes and
// the copies only when every file is one our own readers take, since any other file needs
// libavformat to be read.
#include "cli/FrontEnd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CopiesHere.h"
#include "cli/ScenesHere.h"
#include "cli/VerbArgs.h"
#include "cli/VerbTable.h"
#include "cli/Verbs.h"
#include "media/engine/AviSource.h"

#ifndef KELVOR_MEDIA_PROGRAM_DIR
#define KELVOR_MEDIA_PROGRAM_DIR "../libexec/kelvor"
#endif

namespace kelvor::cli {
namespace {

constexpr const char* kMediaProgram = "kelvor-cli-media";

// main's arguments, kept for the hand-over; set once before anything else runs.
char** gArgv = nullptr;

// Beside this program (the build tree), else in the installed program folder.
std::string MediaProgramPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path dir = ec ? std::filesystem::path(".") : self.parent_path();
    const std::filesystem::path beside = dir / kMediaProgram;
    if (::access(beside.c_str(), X_OK) == 0)
        return beside.string();
    return (dir / KELVOR_MEDIA_PROGRAM_DIR / kMediaProgram).lexically_normal().string();
}

bool AsksForHelp(const std::vector<std::string_view>& args) {
    for (std::string_view a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
}

// Whether info can probe every file without the codec libraries: each regular file must be a raw
// DV file or a DV AVI file our demuxer opens; anything else goes to the media program, which reads
// it with libavformat. A name that is no regular file (missing, a folder, a pipe) is refused
// before any probe, and is never opened here, so a pipe cannot hold the check up.
bool InfoRunsHere(Args rest) {
    const VerbArgs a = ParseVerbArgs(rest, {"--json"});
    if (!a.Error.empty() || a.Files.empty())
        return true;  // the usage error is the same here
    for (const std::string& f : a.Files) {
        struct stat st {};
        if (::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (!media::CreateOwnDvSplitter(f))
            return false;
    }
    return true;
}

}  // namespace

void RunMediaProgram() {
    const std::string path = MediaProgramPath();
    ::execv(path.c_str(), gArgv);
    std::fprintf(stderr, "kelvor-cli: cannot start %s: %s\n", path.c_str(), std::strerror(errno));
    std::exit(kExitFailed);
}

void RunMediaProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv = {gArgv[0]};
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    gArgv = argv.data();
    RunMediaProgram();
}

}  // namespace kelvor::cli

int main(int argc, char** argv) {
    using namespace kelvor::cli;
    gArgv = argv;
    // --verbose routes the media libraries' messages, and the usage and help texts come from the
    // command table: both belong to the media program.
    if (argc < 2)
        RunMediaProgram();
    const std::string_view name = argv[1];
    const std::vector<std::string_view> rest(argv + 2, argv + argc);
    if (name == "--version" || name == "-V") {
        PrintVersion(stdout);
        return kExitDone;
    }
    if (AsksForHelp(rest))
        RunMediaProgram();
    if (name == "packs")
        return runPacks(rest);
    if (name == "riff")
        return runRiff(rest);
    if (name == "prefs")
        return runPrefs(rest);
    if (name == "info" && InfoRunsHere(rest))
        return runInfo(rest);
    if (int status = 0; RunScenesHere(name, rest, status))
        return status;
    if (int status = 0; RunCopiesHere(name, rest, status))
        return status;
    RunMediaProgram();
}

// The verbs of kelvor-cli. Each takes the arguments after its name and returns the exit status.
#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace kelvor::cli {

using Args = std::span<const std::string_view>;

int runAbout(Args args);
int runPacks(Args args);
int runProbe(Args args);
int runRiff(Args args);
int runPrefs(Args args);
int runInfo(Args args);
int runScenes(Args args);
int runExportMkv(Args args);
int runExportChapters(Args args);
int runScript(Args args);
int runDo(Args args);

// The commands with their script letters, and the other script switches (kelvor-cli help).
void PrintCommandHelp(std::FILE* to);

}  // namespace kelvor::cli

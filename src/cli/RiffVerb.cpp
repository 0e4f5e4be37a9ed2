// kelvor-cli riff FILE [--save LOG]: prints the RIFF structure report and optionally saves it.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "cli/VerbArgs.h"
#include "core/avi/RiffReport.h"
#include "core/files/FileKinds.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

constexpr std::string_view kVerb = "riff";
constexpr std::string_view kUsage = "riff FILE [--save LOG]";

}  // namespace

int runRiff(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {}, {"--save"});
    if (!a.Error.empty())
        return UsageError(kVerb, a.Error, kUsage);
    if (a.Files.size() != 1)
        return UsageError(kVerb, a.Files.empty() ? "no file" : "one file at a time", kUsage);
    const std::string& file = a.Files.front();
    const auto save = a.Values.find("--save");
    if (save != a.Values.end() && save->second.empty())
        return UsageError(kVerb, "--save needs a file name", kUsage);
    // A log path that names a video is a slip of the fingers; the report never replaces one.
    if (save != a.Values.end() && files::IsVideoFile(save->second)) {
        FileError(kVerb, save->second, "is a video; the report is not saved over it");
        return 1;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        FileError(kVerb, file, "the file is not found");
        return 1;
    }
    if (!S_ISREG(st.st_mode)) {
        FileError(kVerb, file, "not a regular file");
        return 1;
    }
    if (files::IsKnownOtherThanAvi(files::ContainerOf(file))) {
        FileError(kVerb, file, "not an AVI file: the RIFF report applies to AVI files only");
        return 1;
    }
    avi::RiffReport report;
    report.Locale = platform::UserLocaleInfo();
    try {
        report.RunReport(file);
    } catch (const avi::FileError& e) {
        FileError(kVerb, file, e.what());
        return 1;
    }
    for (const auto& line : report.lines())
        std::printf("%s\n", line.c_str());
    std::string why;
    if (save != a.Values.end() && !report.Save(save->second, &why)) {
        FileError(kVerb, save->second, why);
        return 1;
    }
    return 0;
}

}  // namespace kelvor::cli

#include <cstdio>
#include <string>

#include "cli/Verbs.h"
#include "core/avi/RiffReport.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {

// kelvor-cli riff FILE [--save LOG]: prints the RIFF structure report and optionally saves it.
int runRiff(Args args) {
    std::string file;
    std::string log;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--save" && i + 1 < args.size()) {
            log = std::string(args[++i]);
        } else if (file.empty() && !args[i].starts_with("--")) {
            file = std::string(args[i]);
        } else {
            std::fprintf(stderr, "usage: kelvor-cli riff FILE [--save LOG]\n");
            return 2;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: kelvor-cli riff FILE [--save LOG]\n");
        return 2;
    }
    avi::RiffReport report;
    report.Locale = platform::UserLocaleInfo();
    try {
        report.RunReport(file);
    } catch (const avi::FileError& e) {
        std::fprintf(stderr, "kelvor-cli riff: %s\n", e.what());
        return 1;
    }
    if (!report.saveEnabled()) {
        std::fprintf(stderr, "kelvor-cli riff: %s: no such file\n", file.c_str());
        return 1;
    }
    for (const auto& line : report.lines())
        std::printf("%s\n", line.c_str());
    if (!log.empty() && !report.Save(log)) {
        std::fprintf(stderr, "kelvor-cli riff: cannot write %s\n", log.c_str());
        return 1;
    }
    return 0;
}

}  // namespace kelvor::cli

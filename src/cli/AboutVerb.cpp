#include <cstdio>

#include "cli/Verbs.h"
#include "core/files/DatePattern.h"
#include "core/shell/About.h"

namespace kelvor::cli {

int runAbout(Args) {
    std::printf("%s %s %s by %s, built %s\n%s\n", about::kProductName, about::VersionText().c_str(),
                about::kLanguageTag, about::kMaker,
                FormatDateTime("yyyy-mm-dd", about::BuildDate()).c_str(), about::kWebAddress);
    return 0;
}

}  // namespace kelvor::cli

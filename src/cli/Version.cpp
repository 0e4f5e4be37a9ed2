#include <cstdio>

#include "cli/VerbTable.h"
#include "core/shell/About.h"

namespace kelvor::cli {

void PrintVersion(std::FILE* to) {
    std::fprintf(to, "kelvor-cli (%s) %s\n", about::kProductName, about::VersionText().c_str());
}

}  // namespace kelvor::cli

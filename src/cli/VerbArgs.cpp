#include "cli/VerbArgs.h"

#include <cstdio>

namespace kelvor::cli {

VerbArgs ParseVerbArgs(Args args, std::initializer_list<std::string_view> flags,
                       std::initializer_list<std::string_view> valued) {
    VerbArgs out;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (options && a == "--") {
            options = false;
            continue;
        }
        if (!options || a.empty() || a.front() != '-' || a == "-") {
            out.Files.emplace_back(a);
            continue;
        }
        bool known = false;
        for (std::string_view f : flags)
            if (a == f) {
                out.Flags.emplace(a);
                known = true;
            }
        for (std::string_view v : valued)
            if (a == v) {
                if (i + 1 >= args.size()) {
                    out.Error = std::string(a) + " needs a value";
                    return out;
                }
                out.Values[std::string(a)] = std::string(args[++i]);
                known = true;
            }
        if (!known) {
            out.Error = "unknown option " + std::string(a);
            return out;
        }
    }
    return out;
}

int UsageError(std::string_view verb, const std::string& why, std::string_view usage) {
    if (!why.empty())
        std::fprintf(stderr, "kelvor-cli %.*s: %s\n", static_cast<int>(verb.size()), verb.data(),
                     why.c_str());
    std::fprintf(stderr, "usage: kelvor-cli %.*s\n", static_cast<int>(usage.size()), usage.data());
    return 2;
}

void FileError(std::string_view verb, const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "kelvor-cli %.*s: %s: %s\n", static_cast<int>(verb.size()), verb.data(),
                 file.c_str(), reason.c_str());
}

}  // namespace kelvor::cli

#include "cli/VerbArgs.h"

#include "cli/Names.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>

namespace kelvor::cli {
namespace {

QString Bare(std::string_view option) {
    while (option.starts_with('-'))
        option.remove_prefix(1);
    return QString::fromUtf8(option.data(), static_cast<qsizetype>(option.size()));
}

bool IsOption(std::string_view a) {
    return a.size() > 2 && a.starts_with("--");
}

}  // namespace

VerbArgs ParseVerbArgs(Args args, const std::vector<std::string>& flags,
                       const std::vector<std::string>& valued) {
    VerbArgs out;
    // The options go to the parser; files and script switches keep their order among
    // themselves, and a single dash never starts an option, so "-d" stays a script switch.
    QStringList options{QStringLiteral("kelvor-cli")};
    bool optionsOver = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (!optionsOver && a == "--") {
            optionsOver = true;
        } else if (!optionsOver && IsOption(a)) {
            options << QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
            const bool takesValue = a.find('=') == std::string_view::npos &&
                                    std::find(valued.begin(), valued.end(), a) != valued.end();
            if (takesValue && i + 1 < args.size()) {
                const std::string_view value = args[++i];
                options << QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
            }
        } else {
            out.Files.emplace_back(a);
        }
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const std::string& f : flags)
        parser.addOption(QCommandLineOption(Bare(f)));
    for (const std::string& v : valued)
        parser.addOption(QCommandLineOption(Bare(v), QString(), QStringLiteral("value")));
    if (!parser.parse(options)) {
        out.Error = parser.errorText().toStdString();
        // Qt names the option without its dashes and with a capital; say it as it was typed.
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
            out.Error = "unknown option --" + unknown.front().toStdString();
        return out;
    }
    for (const std::string& f : flags)
        if (parser.isSet(Bare(f)))
            out.Flags.insert(f);
    for (const std::string& v : valued)
        if (parser.isSet(Bare(v)))
            out.Values[v] = parser.value(Bare(v)).toStdString();
    return out;
}

VerbArgs ParseVerbArgs(Args args, std::initializer_list<std::string_view> flags,
                       std::initializer_list<std::string_view> valued) {
    return ParseVerbArgs(args, std::vector<std::string>(flags.begin(), flags.end()),
                         std::vector<std::string>(valued.begin(), valued.end()));
}

int UsageError(std::string_view verb, const std::string& why, std::string_view usage) {
    if (!why.empty())
        std::fprintf(stderr, "kelvor-cli %.*s: %s\n", static_cast<int>(verb.size()), verb.data(),
                     ShownText(why).c_str());
    std::fprintf(stderr, "usage: kelvor-cli %.*s\n", static_cast<int>(usage.size()), usage.data());
    std::fprintf(stderr, "(kelvor-cli %.*s --help tells more)\n", static_cast<int>(verb.size()),
                 verb.data());
    return kExitUsage;
}

void FileError(std::string_view verb, const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "kelvor-cli %.*s: %s: %s\n", static_cast<int>(verb.size()), verb.data(),
                 ShownName(file).c_str(), ShownText(reason).c_str());
}

std::optional<double> DurationDays(const std::string& text) {
    std::string_view t = text;
    double sign = 1;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        sign = t.front() == '-' ? -1 : 1;
        t.remove_prefix(1);
    }
    long parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        const std::size_t colon = t.find(':');
        const std::string_view part = t.substr(0, colon);
        if (part.empty() || part.size() > 6)
            return std::nullopt;
        long v = 0;
        for (const char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
            v = v * 10 + (c - '0');
        }
        parts[count++] = v;
        if (colon == std::string_view::npos)
            break;
        t.remove_prefix(colon + 1);
        if (count == 3)
            return std::nullopt;
    }
    if (count < 2 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return sign * static_cast<double>(parts[0] * 3600 + parts[1] * 60 + parts[2]) / 86400.0;
}

}  // namespace kelvor::cli

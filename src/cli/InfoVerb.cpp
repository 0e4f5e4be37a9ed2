// kelvor-cli info: each file's record as the information panel shows it, or as JSON.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "cli/VerbArgs.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"
#include "core/files/FileRecord.h"
#include "core/settings/PreferencesStore.h"
#include "media/graphs/ProbeGraph.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

std::string Iso(double value) {
    auto f = DecodeDateTime(value);
    if (!f || value == 0)
        return "";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", f->Year, f->Month, f->Day,
                  f->Hour, f->Minute, f->Second, f->Millisecond);
    return buf;
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string Bool(bool b) {
    return b ? "true" : "false";
}

std::string Json(const files::FileRecord& r) {
    std::vector<std::pair<const char*, std::string>> f = {
        {"Name", JsonString(r.Name)},
        {"FullName", JsonString(r.FullName)},
        {"Exists", Bool(r.Exists)},
        {"SizeHigh", std::to_string(r.SizeHigh)},
        {"SizeLow", std::to_string(r.SizeLow)},
        {"Modified", JsonString(Iso(r.Modified))},
        {"Datecode", Number(r.Datecode)},
        {"DatecodeISO", JsonString(Iso(r.Datecode))},
        {"DatecodeText", JsonString(r.DatecodeText)},
        {"TimecodeText", JsonString(r.TimecodeText)},
        {"Codec", JsonString(r.Codec)},
        {"DVType", std::to_string(r.DVType)},
        {"IavsType2", Bool(r.IavsType2)},
        {"ImageText", JsonString(r.ImageText)},
        {"AspectText", JsonString(r.AspectText)},
        {"Width", std::to_string(r.Width)},
        {"Height", std::to_string(r.Height)},
        {"DurationText", JsonString(r.DurationText)},
        {"FrameCount", std::to_string(r.FrameCount)},
        {"Fps", Number(r.Fps)},
        {"AudioText", JsonString(r.AudioText)},
        {"AudioDurationText", JsonString(r.AudioDurationText)},
        {"AudioFormatText", JsonString(r.AudioFormatText)},
        {"Standard", std::to_string(r.Standard)},
        {"HasScn", Bool(r.HasScn)},
        {"HasSrt", Bool(r.HasSrt)},
        {"IsDV", Bool(r.IsDV)},
        {"Wide", Bool(r.Wide)},
        {"SampleRate", std::to_string(r.SampleRate)},
        {"SampleBits", std::to_string(r.SampleBits)},
        {"ChannelsText", JsonString(r.ChannelsText)},
        {"DatecodeKey", JsonString(r.DatecodeKey)},
        {"DatecodeSortKey", JsonString(r.DatecodeSortKey)},
        {"NameKey", JsonString(r.NameKey)},
        {"SizeKey", JsonString(r.SizeKey)},
        {"DateKey", JsonString(r.DateKey)},
    };
    std::string out = "  {";
    for (std::size_t i = 0; i < f.size(); ++i) {
        out += i ? ",\n    " : "\n    ";
        out += JsonString(f[i].first) + ": " + f[i].second;
    }
    return out + "\n  }";
}

// "1,234,567": the size with thousands separators and no decimals.
std::string Grouped(std::uint64_t v) {
    std::string digits = std::to_string(v);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

void PrintPanel(const files::FileRecord& r, const files::RecordSettings& settings) {
    const std::string& displayFormat = settings.DisplayDatecodeFormat;
    std::string datecode = r.Datecode > 0
                               ? FormatDateTime(displayFormat, r.Datecode, settings.Locale)
                               : r.DatecodeText;
    std::string codec = r.Codec;
    if (r.IsDV) {
        if (r.DVType == 1)
            codec += " (type 1)";
        else if (r.DVType == 2 && r.IavsType2)
            codec += " (type 2 iavs)";
        else if (r.DVType == 2)
            codec += " (type 2)";
        else
            codec += " (atypical)";
    }
    std::string duration = r.DurationText;
    if (!r.AudioDurationText.empty() && r.AudioDurationText != r.DurationText)
        duration += " (" + r.AudioDurationText + ")";
    const std::string fps = r.Fps > 0 ? Number(r.Fps) : "";
    std::string badges;
    if (r.HasScn)
        badges += " [scn]";
    if (r.HasSrt)
        badges += " [srt]";
    const std::uint64_t size = std::uint64_t{r.SizeHigh} << 32 | r.SizeLow;
    std::printf("%s%s\n", r.Name.c_str(), badges.c_str());
    std::printf("  Datecode  %s\n", datecode.c_str());
    std::printf("  Timecode  %s\n", r.TimecodeText.c_str());
    std::printf("  codec     %s\n", codec.c_str());
    std::printf("  Image     %s%s\n", r.ImageText.c_str(), r.AspectText.c_str());
    std::printf("  Duration  %s\n", duration.c_str());
    std::printf("  Fps       %s\n", fps.c_str());
    std::printf("  Audio     %s\n", r.AudioText.c_str());
    std::printf("            %s\n", r.AudioFormatText.c_str());
    std::printf("  File     : %s\n", r.FullName.c_str());
    std::printf("  Size     : %s\n", Grouped(size).c_str());
    std::printf("  Modified : %s\n",
                FormatDateTime(displayFormat, r.Modified, settings.Locale).c_str());
}

// Why the file could not be read at all (missing, not a regular file, not readable); empty for
// a file that could, even when it is not a video (its record says so).
std::string unreadable(const files::FileRecord& r) {
    if (!r.Exists)
        return "the file is not found";
    if (!S_ISREG(r.Attributes))
        return "not a regular file";
    if (::access(r.FullName.c_str(), R_OK) != 0)
        return std::strerror(errno);
    return {};
}

}  // namespace

int runInfo(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {"--json"});
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("info", a.Error, "info [--json] FILE...");
    const bool json = a.Has("--json");
    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    files::RecordSettings recordSettings;
    recordSettings.DisplayDatecodeFormat = prefs.DisplayDatecodeFormat;
    recordSettings.Locale = platform::UserLocaleInfo();

    media::ProbeGraph probe;
    if (json)
        std::printf("[");
    bool first = true;
    int status = 0;
    for (const std::string& name : a.Files) {
        files::FileRecord record(name, probe, recordSettings);
        if (const std::string why = unreadable(record); !why.empty()) {
            FileError("info", name, why);
            status = 1;
            if (!json)
                continue;
        }
        if (json) {
            std::printf("%s\n%s", first ? "" : ",", Json(record).c_str());
        } else {
            if (!first)
                std::printf("\n");
            PrintPanel(record, recordSettings);
        }
        first = false;
    }
    if (json)
        std::printf("\n]\n");
    return status;
}

}  // namespace kelvor::cli

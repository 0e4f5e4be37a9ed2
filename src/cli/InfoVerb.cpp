// kelvor-cli info: each file's record as the information panel shows it, or as JSON.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "cli/Names.h"
#include "cli/VerbArgs.h"
#include "commands/CommandTexts.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"
#include "core/files/FileRecord.h"
#include "core/scenes/ScnFile.h"
#include "core/settings/PreferencesStore.h"
#include "media/graphs/ProbeGraph.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

// The frame rate as an exact ratio: the standard's for DV, otherwise the header's frame
// duration in 100 ns units over ten million, reduced.
std::pair<std::int64_t, std::int64_t> FrameRate(const files::FileRecord& r,
                                                const files::ProbeResult& probe) {
    if (r.Standard == 1)
        return {25, 1};
    if (r.Standard == 2)
        return {30000, 1001};
    std::int64_t num = 10000000, den = probe.VideoFormat.AvgTimePerFrame;
    if (den <= 0)
        return {0, 1};
    const std::int64_t g = std::gcd(num, den);
    return {num / g, den / g};
}

// "15.46.37.12" -> "15:46:37:12"; null when the record has no timecode.
QJsonValue Timecode(const std::string& text) {
    if (text.size() != 11)
        return QJsonValue::Null;
    std::string out = text;
    for (const std::size_t i : {2u, 5u, 8u})
        out[i] = ':';
    return QString::fromStdString(out);
}

// The container as its usual file suffix names it, so a script can tell a capture from a wrap.
QString ContainerName(files::ContainerKind kind) {
    switch (kind) {
        case files::ContainerKind::Avi:
            return "avi";
        case files::ContainerKind::RawDv:
            return "dv";
        case files::ContainerKind::QuickTime:
            return "mov";
        case files::ContainerKind::Matroska:
            return "mkv";
        case files::ContainerKind::Other:
            break;
    }
    return "other";
}

QJsonObject Json(const files::FileRecord& r, const files::ProbeResult& probe) {
    QJsonObject o;
    PutJsonName(o, "file", r.FullName);
    PutJsonName(o, "name", r.Name);
    o["size"] = static_cast<qint64>(std::uint64_t{r.SizeHigh} << 32 | r.SizeLow);
    o["modified"] = JsonDateTime(r.Modified);
    o["recorded"] = r.DatecodeValid ? JsonDateTime(r.Datecode) : QJsonValue(QJsonValue::Null);
    o["timecode"] = Timecode(r.TimecodeText);
    o["codec"] = JsonTextOrNull(r.Codec);
    o["container"] = ContainerName(r.Container);
    o["dvType"] = static_cast<int>(r.DVType);
    o["interleaved"] = r.IavsType2 || r.DVType == 1;
    o["standard"] = r.Standard == 1   ? QJsonValue("PAL")
                    : r.Standard == 2 ? QJsonValue("NTSC")
                                      : QJsonValue(QJsonValue::Null);
    o["aspect"] = r.Wide ? "16:9" : "4:3";

    QJsonObject video;
    const auto [num, den] = FrameRate(r, probe);
    const double fps = num > 0 ? static_cast<double>(num) / static_cast<double>(den) : 0;
    video["width"] = r.Width;
    // The stored picture's height (576 lines for PAL), not the record's display height.
    video["height"] = probe.VideoFound ? std::abs(probe.VideoFormat.bmiHeader.biHeight) : 0;
    video["frameRate"] = QString("%1/%2").arg(num).arg(den);
    video["fps"] = fps;
    video["frames"] = r.FrameCount;
    video["duration"] = fps > 0 ? r.FrameCount / fps : 0.0;
    o["video"] = video;

    if (probe.AudioFound) {
        QJsonObject audio;
        audio["sampleRate"] = static_cast<qint64>(r.SampleRate);
        audio["bits"] = static_cast<qint64>(r.SampleBits);
        audio["channels"] = static_cast<int>(probe.AudioFormat.nChannels);
        o["audio"] = audio;
    } else {
        o["audio"] = QJsonValue::Null;
    }

    QJsonObject scenes;
    scenes["scn"] = r.HasScn;
    scenes["srt"] = r.HasSrt;
    QJsonValue count = QJsonValue::Null;
    if (r.HasScn) {
        scenes::SceneList list;
        std::filesystem::path scn(r.FullName);
        if (scenes::ReadScnFile(scn.replace_extension(".scn").string(), list, fps > 0 ? fps : 25))
            count = static_cast<qint64>(list.size());
    }
    scenes["count"] = count;
    o["scenes"] = scenes;
    return o;
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
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
    std::printf("%s%s\n", ShownName(r.Name).c_str(), badges.c_str());
    std::printf("  Datecode  %s\n", datecode.c_str());
    std::printf("  Timecode  %s\n", r.TimecodeText.c_str());
    std::printf("  codec     %s\n", codec.c_str());
    std::printf("  Image     %s%s\n", r.ImageText.c_str(), r.AspectText.c_str());
    std::printf("  Duration  %s\n", duration.c_str());
    std::printf("  Fps       %s\n", fps.c_str());
    std::printf("  Audio     %s\n", r.AudioText.c_str());
    std::printf("            %s\n", r.AudioFormatText.c_str());
    std::printf("  File     : %s\n", ShownName(r.FullName).c_str());
    std::printf("  Size     : %s\n", Grouped(size).c_str());
    std::printf("  Modified : %s\n",
                FormatDateTime(displayFormat, r.Modified, settings.Locale).c_str());
}

// Why the record cannot be shown: the file is missing, not a regular file, not readable, not a
// video or not a DV video; empty for a DV video.
std::string refusal(const files::FileRecord& r) {
    if (!r.Exists)
        return "the file is not found";
    if (!S_ISREG(r.Attributes))
        return "not a regular file";
    if (::access(r.FullName.c_str(), R_OK) != 0)
        return std::strerror(errno);
    if (r.ImageText == "N/A" && r.AudioText == "N/A")
        return "not a video" + (r.ReadError.empty() ? "" : ": " + commands::OneLine(r.ReadError));
    if (!r.IsDV)
        return "not a DV video" + (r.Codec.empty() ? "" : " (codec " + r.Codec + ")");
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
    QJsonArray records;
    bool first = true;
    int status = kExitDone;
    for (const std::string& name : a.Files) {
        files::FileRecord record(name, probe, recordSettings);
        if (const std::string why = refusal(record); !why.empty()) {
            FileError("info", name, why);
            status = kExitFailed;
            if (json) {
                QJsonObject error;
                PutJsonName(error, "file", name);
                error["error"] = JsonText(why);
                records.append(error);
            }
            continue;
        }
        if (json) {
            records.append(Json(record, probe.Result()));
        } else {
            if (!first)
                std::printf("\n");
            PrintPanel(record, recordSettings);
        }
        first = false;
    }
    if (json) {
        QJsonObject top = JsonDocumentTop();
        top["files"] = records;
        PrintJson(top);
    }
    return status;
}

}  // namespace kelvor::cli

#include "core/scenes/ChapterFiles.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace kelvor::scenes {
namespace {

constexpr std::int64_t kMillisecond = 1000;
constexpr std::int64_t kNanosecond = 1000000000;
// The edit list's event numbers have three digits.
constexpr std::size_t kMaxEdlEvents = 999;

std::string Pad(std::int64_t value, int width) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%0*lld", width, static_cast<long long>(value));
    return text.data();
}

// "hh:mm:ss.fff" (WebVTT) or "hh:mm:ss.nnnnnnnnn" (Matroska XML).
std::string ClockTime(std::int64_t units, std::int64_t perSecond, int digits) {
    const std::int64_t seconds = units / perSecond;
    return Pad(seconds / 3600, 2) + ":" + Pad(seconds / 60 % 60, 2) + ":" + Pad(seconds % 60, 2) +
           "." + Pad(units % perSecond, digits);
}

// FFmpeg's metadata file escapes '=', ';', '#', '\' and line breaks with a backslash.
std::string MetadataEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n')
            out += '\\';
        out += c;
    }
    return out;
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One line of cue text: no line break, and no arrow that would read as a cue timing.
std::string CueText(std::string_view text) {
    std::string out;
    for (const char c : text)
        out += c == '\n' || c == '\r' ? ' ' : c;
    for (std::size_t at = out.find("-->"); at != std::string::npos; at = out.find("-->", at))
        out.replace(at, 3, "->");
    return out;
}

// An edit list comment holds one line.
std::string CommentText(std::string_view text) {
    std::string out;
    for (const char c : text)
        out += c == '\n' || c == '\r' ? ' ' : c;
    return out;
}

std::string FfMetadata(const ChapterDocument& d) {
    std::string out = ";FFMETADATA1\n";
    if (!d.Title.empty())
        out += "title=" + MetadataEscaped(d.Title) + "\n";
    // The frame duration as the timebase, so every start and end is a whole frame.
    const std::string timebase = std::to_string(d.Rate.Den) + "/" + std::to_string(d.Rate.Num);
    for (const ChapterMark& c : d.Chapters) {
        out += "\n[CHAPTER]\nTIMEBASE=" + timebase + "\nSTART=" + std::to_string(c.FirstFrame) +
               "\nEND=" + std::to_string(c.EndFrame) + "\n";
        if (!c.Title.empty())
            out += "title=" + MetadataEscaped(c.Title) + "\n";
        if (!c.Recorded.empty())
            out += "DATE_RECORDED=" + MetadataEscaped(c.Recorded) + "\n";
    }
    return out;
}

std::string WebVtt(const ChapterDocument& d) {
    std::string out = "WEBVTT\n";
    int n = 0;
    for (const ChapterMark& c : d.Chapters) {
        ++n;
        out += "\n" + std::to_string(n) + "\n" +
               ClockTime(FrameTime(c.FirstFrame, d.Rate, kMillisecond), kMillisecond, 3) + " --> " +
               ClockTime(FrameTime(c.EndFrame, d.Rate, kMillisecond), kMillisecond, 3) + "\n" +
               CueText(c.Title.empty() ? "Chapter " + std::to_string(n) : c.Title) + "\n";
    }
    return out;
}

std::string MkvXml(const ChapterDocument& d) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE Chapters SYSTEM \"matroskachapters.dtd\">\n"
        "<Chapters>\n  <EditionEntry>\n";
    for (const ChapterMark& c : d.Chapters) {
        out += "    <ChapterAtom>\n      <ChapterTimeStart>" +
               ClockTime(FrameTime(c.FirstFrame, d.Rate, kNanosecond), kNanosecond, 9) +
               "</ChapterTimeStart>\n      <ChapterTimeEnd>" +
               ClockTime(FrameTime(c.EndFrame, d.Rate, kNanosecond), kNanosecond, 9) +
               "</ChapterTimeEnd>\n      <ChapterDisplay>\n        <ChapterString>" +
               XmlEscaped(c.Title) +
               "</ChapterString>\n        <ChapterLanguage>und</ChapterLanguage>\n"
               "      </ChapterDisplay>\n    </ChapterAtom>\n";
    }
    out += "  </EditionEntry>\n</Chapters>\n";
    return out;
}

std::string Edl(const ChapterDocument& d) {
    std::string out =
        "TITLE: " + CommentText(d.Title.empty() ? "Kelvor" : d.Title) + "\nFCM: NON-DROP FRAME\n";
    std::size_t n = 0;
    for (const ChapterMark& c : d.Chapters) {
        if (++n > kMaxEdlEvents)
            break;
        const std::string in = EdlTimecode(c.FirstFrame, d.Rate);
        const std::string outTc = EdlTimecode(c.EndFrame, d.Rate);
        out += "\n" + Pad(static_cast<std::int64_t>(n), 3) + "  AX       V     C        " + in +
               " " + outTc + " " + in + " " + outTc + "\n";
        if (!d.Source.empty())
            out += "* FROM CLIP NAME: " + CommentText(d.Source) + "\n";
        if (!c.Title.empty())
            out += "* COMMENT: " + CommentText(c.Title) + "\n";
        if (!c.Recorded.empty())
            out += "* RECORDED: " + CommentText(c.Recorded) + "\n";
    }
    return out;
}

}  // namespace

std::optional<ChapterFormat> ChapterFormatFromName(std::string_view name) {
    if (name == "ffmetadata")
        return ChapterFormat::FfMetadata;
    if (name == "webvtt")
        return ChapterFormat::WebVtt;
    if (name == "mkvxml")
        return ChapterFormat::MkvXml;
    if (name == "edl")
        return ChapterFormat::Edl;
    return std::nullopt;
}

std::string_view ChapterFileSuffix(ChapterFormat format) {
    switch (format) {
        case ChapterFormat::FfMetadata:
            return ".ffmeta";
        case ChapterFormat::WebVtt:
            return ".chapters.vtt";
        case ChapterFormat::MkvXml:
            return ".chapters.xml";
        case ChapterFormat::Edl:
            return ".edl";
    }
    return ".txt";
}

FrameRateRatio FrameRateOf(double fps) {
    // The NTSC rates (29.97 and the rounded 30 some files store) are 30000/1001.
    if (fps > 29 && fps < 31)
        return {30000, 1001};
    if (fps > 0 && std::fabs(fps - std::round(fps)) < 1e-6)
        return {static_cast<std::int64_t>(std::round(fps)), 1};
    return {25, 1};
}

std::int64_t FrameTime(std::int64_t frame, FrameRateRatio rate, std::int64_t perSecond) {
    // frame * Den / Num seconds, in integers so that an hour's frames keep their exact place.
    const std::int64_t numerator = frame * rate.Den * perSecond;
    return (numerator + rate.Num / 2) / rate.Num;
}

std::string EdlTimecode(std::int64_t frame, FrameRateRatio rate) {
    const std::int64_t fps = (rate.Num + rate.Den - 1) / rate.Den;
    const std::int64_t seconds = frame / fps;
    return Pad(seconds / 3600 % 24, 2) + ":" + Pad(seconds / 60 % 60, 2) + ":" +
           Pad(seconds % 60, 2) + ":" + Pad(frame % fps, 2);
}

std::string WriteChapterFile(ChapterFormat format, const ChapterDocument& document) {
    switch (format) {
        case ChapterFormat::FfMetadata:
            return FfMetadata(document);
        case ChapterFormat::WebVtt:
            return WebVtt(document);
        case ChapterFormat::MkvXml:
            return MkvXml(document);
        case ChapterFormat::Edl:
            return Edl(document);
    }
    return {};
}

}  // namespace kelvor::scenes

#include "core/files/FormatTexts.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "core/files/Rounding.h"

namespace kelvor {
namespace {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string formatText(const char* format, ...) {
    char buf[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

struct Hms {
    std::int64_t h;
    std::int64_t m;
    std::int64_t s;
};

Hms splitSeconds(std::int64_t total) {
    return {total / 3600, (total / 60) % 60, total % 60};
}

// Whole seconds and the rounded frame remainder of a frame position.
struct FramePosition {
    Hms hms;
    std::int64_t ff;
};

FramePosition framePosition(std::int32_t frame, double rate) {
    const double seconds = std::trunc(frame / rate);
    const std::int64_t whole = static_cast<std::int64_t>(seconds);
    return {splitSeconds(whole), RoundHalfEven(frame - rate * seconds)};
}

// A decimal number as Delphi's StrToInt reads it: an optional sign and digits.
std::optional<long> parseInt(std::string_view s) {
    long v = 0;
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

}  // namespace

std::string FormatDuration(std::int64_t duration, std::int64_t frameDuration) {
    if (frameDuration <= 0)
        return {};
    // Whole frames to the nearest, ties to even: a duration computed from a frame count at an
    // NTSC rate falls a fraction short of it and must still show every frame.
    const std::int64_t total =
        RoundHalfEven(static_cast<double>(duration) / static_cast<double>(frameDuration));
    const std::int64_t at = total * frameDuration;
    const long long frames = RoundHalfEven(static_cast<double>(at % kUnitsPerSecond) /
                                           static_cast<double>(frameDuration));
    const Hms t = splitSeconds(at / kUnitsPerSecond);
    if (t.h > 0)
        return formatText("%lldh %.2lldmn %.2llds %.2lldfr", static_cast<long long>(t.h),
                          static_cast<long long>(t.m), static_cast<long long>(t.s), frames);
    if (t.m > 0)
        return formatText("%lldmn %.2llds %.2lldfr", static_cast<long long>(t.m),
                          static_cast<long long>(t.s), frames);
    if (t.s > 0)
        return formatText("%llds %.2lldfr", static_cast<long long>(t.s), frames);
    return formatText("%lldfr", frames);
}

std::string FormatDurationMs(std::int64_t duration) {
    const long long ms = (duration % kUnitsPerSecond) / 10'000;
    const Hms t = splitSeconds(duration / kUnitsPerSecond);
    if (t.h > 0)
        return formatText("%lldh %.2lldmn %.2llds %.3lldms", static_cast<long long>(t.h),
                          static_cast<long long>(t.m), static_cast<long long>(t.s), ms);
    if (t.m > 0)
        return formatText("%lldmn %.2llds %.3lldms", static_cast<long long>(t.m),
                          static_cast<long long>(t.s), ms);
    if (t.s > 0)
        return formatText("%llds %.3lldms", static_cast<long long>(t.s), ms);
    return formatText("%lldmilliseconds", ms);
}

std::string FormatFramePosition(std::int32_t frame, double rate) {
    if (rate == 0)
        return "0:00:00:00";
    const FramePosition p = framePosition(frame, rate);
    return formatText("%.2lld.%.2lld.%.2lld.%.2lld", static_cast<long long>(p.hms.h),
                      static_cast<long long>(p.hms.m), static_cast<long long>(p.hms.s),
                      static_cast<long long>(p.ff));
}

std::string FormatShortFramePosition(std::int32_t frames, double rate) {
    if (rate == 0)
        return "??";
    const FramePosition p = framePosition(frames, rate);
    const auto h = static_cast<long long>(p.hms.h);
    const auto m = static_cast<long long>(p.hms.m);
    const auto s = static_cast<long long>(p.hms.s);
    const auto ff = static_cast<long long>(p.ff);
    if (h > 0)
        return formatText("%lld.%.2lld.%.2lld.%.2lld", h, m, s, ff);
    if (m == 0)
        return formatText("%.2lld.%.2lld", s, ff);
    return formatText("%.2lld.%.2lld.%.2lld", m, s, ff);
}

std::string FormatSubtitleTime(std::uint32_t frame, double rate) {
    if (rate == 0)
        return {};
    const std::int64_t totalMs = RoundHalfEven(static_cast<double>(frame) * 1000.0 / rate);
    const Hms t = splitSeconds(totalMs / 1000);
    return formatText("%.2lld:%.2lld:%.2lld,%.3lld", static_cast<long long>(t.h),
                      static_cast<long long>(t.m), static_cast<long long>(t.s),
                      static_cast<long long>(totalMs % 1000));
}

std::string WaveFormatName(std::uint16_t tag) {
    struct Entry {
        std::uint16_t tag;
        const char* name;
    };
    static constexpr Entry kNames[] = {
        {1, "PCM"},
        {2, "ADPCM"},
        {3, "IEEE_FLOAT"},
        {5, "IBM_CVSD"},
        {6, "ALAW"},
        {7, "MULAW"},
        {16, "OKI_ADPCM"},
        {17, "DVI_ADPCM"},
        {18, "MEDIASPACE_ADPCM"},
        {19, "SIERRA_ADPCM"},
        {20, "G723_ADPCM"},
        {21, "DIGISTD"},
        {22, "DIGIFIX"},
        {23, "DIALOGIC_OKI_ADPCM"},
        {24, "MEDIAVISION_ADPCM"},
        {32, "YAMAHA_ADPCM"},
        {33, "SONARC"},
        {34, "DSPGROUP_TRUESPEECH"},
        {35, "ECHOSC1"},
        {36, "AUDIOFILE_AF36"},
        {37, "APTX"},
        {38, "AUDIOFILE_AF10"},
        {48, "DOLBY_AC2"},
        {49, "GSM610"},
        {50, "MSNAUDIO"},
        {51, "ANTEX_ADPCME"},
        {52, "CONTROL_RES_VQLPC"},
        {53, "DIGIREAL"},
        {54, "DIGIADPCM"},
        {55, "CONTROL_RES_CR10"},
        {56, "NMS_VBXADPCM"},
        {57, "CS_IMAADPCM"},
        {58, "ECHOSC3"},
        {59, "ROCKWELL_ADPCM"},
        {60, "ROCKWELL_DIGITALK"},
        {61, "XEBEC"},
        {64, "G721_ADPCM"},
        {65, "G728_CELP"},
        {80, "MPEG"},
        {85, "MP3"},
        {96, "CIRRUS"},
        {97, "ESPCM"},
        {98, "VOXWARE"},
        {99, "CANOPUS_ATRAC"},
        {100, "G726_ADPCM"},
        {101, "G722_ADPCM"},
        {102, "DSAT"},
        {103, "DSAT_DISPLAY"},
        {117, "VOXWARE"},
        {128, "SOFTSOUND"},
        {256, "RHETOREX_ADPCM"},
        {512, "CREATIVE_ADPCM"},
        {514, "CREATIVE_FASTSPEECH8"},
        {515, "CREATIVE_FASTSPEECH10"},
        {544, "QUARTERDECK"},
        {768, "FM_TOWNS_SND"},
        {1024, "BTV_DIGITAL"},
        {4096, "OLIGSM"},
        {4097, "OLIADPCM"},
        {4098, "OLICELP"},
        {4099, "OLISBC"},
        {4100, "OLIOPR"},
        {4352, "LH_CODEC"},
        {5120, "NORRIS"},
    };
    for (const Entry& e : kNames)
        if (e.tag == tag)
            return e.name;
    return "Unknown";
}

std::optional<std::string> DirectXVersionText(std::string_view version) {
    // Each step drops everything up to and including the next dot.
    auto dropThroughDot = [](std::string_view& s) {
        const std::size_t dot = s.find('.');
        if (dot != std::string_view::npos)
            s.remove_prefix(dot + 1);
    };
    auto beforeDot = [](std::string_view s) {
        const std::size_t dot = s.find('.');
        return dot == std::string_view::npos ? std::string_view() : s.substr(0, dot);
    };
    std::string_view rest = version;
    dropThroughDot(rest);
    const auto major = parseInt(beforeDot(rest));
    if (!major)
        return std::nullopt;
    dropThroughDot(rest);
    const auto minor = parseInt(beforeDot(rest));
    if (!minor)
        return std::nullopt;
    char letter = ' ';
    if (!rest.empty()) {
        const int c = rest.back() - '0' + 'a' - 1;
        if (c == 'd')
            letter = 'c';
        else if (c >= 'a')
            letter = static_cast<char>(c);
    }
    return std::to_string(*major) + "." + std::to_string(*minor) + letter;
}

}  // namespace kelvor

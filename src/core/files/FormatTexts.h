// Small text formatters shared by the file record, the scene lists and their exports.
// Pure functions, callable from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvor {

inline constexpr std::int64_t kUnitsPerSecond = 10'000'000;  // 100 ns units

// "1h 02mn 03s 04fr", "2mn 03s 04fr", "3s 04fr" or "12fr". frameDuration must not be 0.
std::string FormatDuration(std::int64_t duration, std::int64_t frameDuration);
// "1h 02mn 03s 250ms", ... or "250milliseconds".
std::string FormatDurationMs(std::int64_t duration);
// "hh.mm.ss.ff"; "0:00:00:00" when the rate is exactly 0.
std::string FormatFramePosition(std::int32_t frame, double rate);
// The shortest of "h.mm.ss.ff", "mm.ss.ff" and "ss.ff"; "??" when the rate is exactly 0.
std::string FormatShortFramePosition(std::int32_t frames, double rate);
// "hh:mm:ss,mmm" of a SubRip cue. rate must not be 0.
std::string FormatSubtitleTime(std::uint32_t frame, double rate);
// The name of a wave format tag, "Unknown" for tags not in the table.
std::string WaveFormatName(std::uint16_t tag);
// "9.0c" from a version text such as "4.09.00.0904"; no value when the text is not of that form.
std::optional<std::string> DirectXVersionText(std::string_view version);

}  // namespace kelvor

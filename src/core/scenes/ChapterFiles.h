// Chapter files for other programs, from a video's scenes: FFmpeg's metadata file, WebVTT
// chapter cues, Matroska chapters XML and a CMX 3600 edit decision list with the recording
// dates as comments. Times are frame-exact: integer frames in a frame timebase where the format
// has one, else the nearest millisecond (nanosecond for the XML) of the frame's start.
//
// Pure functions: the caller writes the text (UTF-8) to its file. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::scenes {

enum class ChapterFormat { FfMetadata, WebVtt, MkvXml, Edl };

// "ffmetadata", "webvtt", "mkvxml", "edl"; none for another name.
std::optional<ChapterFormat> ChapterFormatFromName(std::string_view name);
// What the file's name ends in: ".ffmeta", ".chapters.vtt", ".chapters.xml", ".edl".
std::string_view ChapterFileSuffix(ChapterFormat format);

struct ChapterMark {
    std::int32_t FirstFrame = 0;
    std::int32_t EndFrame = 0;  // exclusive
    std::string Title;          // one line
    std::string Recorded;       // the recording date as text, or empty
};

// The frame rate as a fraction: 25/1 for PAL, 30000/1001 for NTSC.
struct FrameRateRatio {
    std::int64_t Num = 25;
    std::int64_t Den = 1;
};
FrameRateRatio FrameRateOf(double fps);

struct ChapterDocument {
    std::string Title;   // the video's name
    std::string Source;  // the video's file name, for the edit list's clip names
    FrameRateRatio Rate;
    std::vector<ChapterMark> Chapters;
};

std::string WriteChapterFile(ChapterFormat format, const ChapterDocument& document);

// The start of a frame in whole units of 1/perSecond of a second, rounded to the nearest.
std::int64_t FrameTime(std::int64_t frame, FrameRateRatio rate, std::int64_t perSecond);
// "HH:MM:SS:FF" of a frame count at the rate's whole frames per second (non-drop).
std::string EdlTimecode(std::int64_t frame, FrameRateRatio rate);

}  // namespace kelvor::scenes

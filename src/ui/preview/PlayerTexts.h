// The player frame's texts: the messages shown in place of the video, and the status texts the
// 40 ms tick forms from the shown frame's record.
//
// Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/files/DatePattern.h"
#include "core/files/FileRecord.h"
#include "core/scenes/FrameInfo.h"
#include "core/scenes/SceneList.h"

namespace kelvor::ui {

// The lines of message `code` (1 to 8) for the file, after the common head ("", "",
// "Video not available"); an unknown code gives the head alone.
std::vector<std::string> MessageLines(int code, const files::FileRecord& record);

struct StatusTexts {
    std::string Datecode;
    std::string Timecode;
    std::string Audio;
    std::string DataRate;
    std::string Image;
    std::string TimeStamp;
    int Trackbar = 0;
};

// The sound as a person reads it: "48 kHz 16-bit stereo", "32 kHz 12-bit stereo (2x)" for the
// two stereo pairs; "N/A" without channels. 16-bit 32 kHz DV sound is shown as the 12-bit sound
// the camcorder recorded when `dv12` is set.
std::string SoundText(int sampleRate, int bits, int channels, bool dv12 = false);

// The texts of one tick from the record of the frame shown (null: the detector is stopped).
StatusTexts TickTexts(const scenes::FrameInfo* frame, const files::FileRecord& record,
                      const std::string& displayFormat, const LocaleInfo& locale);

// The font height in pixels of a name `textWidth` pixels wide at height 13 in a bevel of this
// width; never below the height of 8 points (11 pixels at 96 dots per inch).
int NameFontHeight(int textWidth, int bevelWidth);

// The start of the first scene after `frame`, or `frameCount` when none; the start of the last
// scene strictly before it, or 0.
std::int64_t NextSceneStart(const scenes::SceneList& scenes, std::int64_t frame,
                            std::int64_t frameCount);
std::int64_t PreviousSceneStart(const scenes::SceneList& scenes, std::int64_t frame);

}  // namespace kelvor::ui

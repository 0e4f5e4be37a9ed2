// The player's time stamp under the video: hours, minutes, seconds and frames when the file has
// a frame rate (the position counts frames), or milliseconds when it has none (the position
// counts 100 ns units).
//
// Pure function, any thread.
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::ui {

// "0:00:03:01" for frame 76 at 25 frames per second; "0:00:01:234" for 12,345,678 units of
// 100 ns without a frame rate. Negative positions count as 0.
std::string TimeStampText(std::int64_t position, double fps);

}  // namespace kelvor::ui

// The presets with which the repair dialogs open: the frame-rate choice from the current file's
// frames per second, the codec choice from its four-character code, and the reference date of
// the time difference.
//
// Pure functions, any thread.
#pragma once

#include <string>

namespace kelvor::ui {

// 0 for 25 frames per second, 1 for 29.97 (30000/1001), 2 (custom) for any other rate.
int FrameRateChoice(double fps);
// 0 "dvsd", 1 "dsvd", 2 "cdvc" (compared in lower case), 3 (custom) otherwise.
int CodecChoice(const std::string& codec);
// The current file's datecode when it is a date (positive), otherwise the present time.
double TimeDifferenceReference(double datecode, double now);

}  // namespace kelvor::ui

// Where the main window goes on its screen: a stored place restored as it was saved and kept
// inside the available screen, and the start's size from the room the screen has.
//
// Pure functions on device-independent pixels (Qt's logical coordinates, so a scale factor is
// already applied), any thread.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace kelvor::ui {

// The client rectangle moved, and shrunk where it is larger, so that the client with its frame
// lies inside the room. The frame is never shrunk; a room smaller than the frame alone puts the
// frame's top left at the room's.
QRect FitInside(const QRect& client, const QMargins& frame, const QRect& room);

}  // namespace kelvor::ui

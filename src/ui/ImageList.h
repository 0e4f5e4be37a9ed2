// The window's image list: one icon per image index of the action table, from the style's
// standard icons where one fits and otherwise drawn here, so the program needs no image files.
//
// UI thread only (icons are made from pixmaps).
#pragma once

#include <QIcon>

namespace kelvor::ui {

// The icon of an image index; an empty icon for an index out of range.
QIcon ImageIcon(int index);

}  // namespace kelvor::ui

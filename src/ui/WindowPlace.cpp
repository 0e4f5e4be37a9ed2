#include "ui/WindowPlace.h"

#include <algorithm>

namespace kelvor::ui {

QRect FitInside(const QRect& client, const QMargins& frame, const QRect& room) {
    const int roomWidth = std::max(0, room.width() - frame.left() - frame.right());
    const int roomHeight = std::max(0, room.height() - frame.top() - frame.bottom());
    const int width = std::min(client.width(), roomWidth);
    const int height = std::min(client.height(), roomHeight);
    // The client's allowed top left: the frame's edges on the room's.
    const int left = room.left() + frame.left();
    const int top = room.top() + frame.top();
    const int x = std::clamp(client.x(), left, left + roomWidth - width);
    const int y = std::clamp(client.y(), top, top + roomHeight - height);
    return QRect(x, y, width, height);
}

}  // namespace kelvor::ui

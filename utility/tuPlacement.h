// Where the main window opens: its designed position, moved inside the desktop
// work area when it would start left of or above it, or too close to its right
// or bottom edge to be seen.
#pragma once

namespace tarn {

struct WorkArea {
    int left, top, right, bottom;
};

struct WindowOrigin {
    int left, top;
};

// Width and height never change; the window only ever moves to the work
// area's left or top edge.
WindowOrigin PlaceInWorkArea(WindowOrigin designed, const WorkArea& area);

}  // namespace tarn

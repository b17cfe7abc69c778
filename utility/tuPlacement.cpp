#include "utility/tuPlacement.h"

namespace tarn {

namespace {
// How much of the window must stay inside the work area at the right and bottom.
constexpr int kVisibleMargin = 100;
}  // namespace

WindowOrigin PlaceInWorkArea(WindowOrigin origin, const WorkArea& area) {
    if (origin.left > area.right - kVisibleMargin) origin.left = area.left;
    if (origin.left < area.left) origin.left = area.left;
    if (origin.top < area.top) origin.top = area.top;
    if (origin.top > area.bottom - kVisibleMargin) origin.top = area.top;
    return origin;
}

}  // namespace tarn

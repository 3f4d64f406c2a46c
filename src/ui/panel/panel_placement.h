// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "platform/geometry.h"

namespace wattline {

// Where the panel goes and how large it is. Rectangles are in screen
// coordinates with the origin at the lower left and y growing upwards, so
// "top" is the larger y.
namespace PanelPlacement {

inline constexpr Size preferredSize{420, 300};

// The panel's size for its measured content and footer heights.
Size sizeForContent(double contentHeight, double footerHeight);

// The usable part of a screen: its visible frame below the unsafe top band
// (`safeTop`, the camera housing), shrunk by `margin`.
Rect safeBounds(const Rect& screen, const Rect& visible, double safeTop, double margin = 10);

// The panel's frame within `bounds`, hanging below `anchor` (the status
// item's button) with their right edges lined up.
Rect frame(const Rect& bounds, const std::optional<Rect>& anchor, Size desired);

// Whether a status item is wholly visible: inside one of the areas beside the
// camera housing, or on the screen when there are none.
bool menuItemFits(const Rect& item, const Rect& screen, const std::vector<Rect>& unobscuredTopAreas);

}  // namespace PanelPlacement

}  // namespace wattline

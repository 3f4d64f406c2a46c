// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <vector>

#include "app/status_icon_scene.h"
#include "platform/tray_host.h"

namespace wattline {

// The scene drawn in one colour on a transparent square of `pixels` pixels.
QImage paintStatusIcon(const StatusIconScene& scene, StyleColor color, int pixels);

// The scene at every size hosts ask for.
std::vector<IconImage> statusIconImages(const StatusIconScene& scene, StyleColor color);

// The application palette's window-text colour.
StyleColor paletteTextColor();

}  // namespace wattline

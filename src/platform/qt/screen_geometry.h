// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRectF>
#include <optional>

#include "platform/geometry.h"

class QScreen;

namespace wattline {

// Qt places screens and windows with y growing downwards from the top of the
// primary screen; placement works with y growing upwards from its bottom, as
// the panel geometry was designed. The two meet only here.
Rect toUpwards(const QRectF& downwards, double primaryHeight);
QRectF toDownwards(const Rect& upwards, double primaryHeight);
// Measured from the primary screen; nothing without a screen.
std::optional<Rect> toUpwards(const QRectF& downwards);

// A screen's frame and visible frame in upward coordinates.
struct ScreenFrames {
  Rect frame;
  Rect visible;
};
ScreenFrames screenFrames(const QScreen& screen);

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>

#include "ui/style/colors.h"

namespace wattline {

inline QColor toQColor(StyleColor color) {
  return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

}  // namespace wattline

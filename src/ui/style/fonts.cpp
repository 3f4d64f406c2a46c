// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/style/fonts.h"

namespace wattline::Fonts {

namespace {

QFont::Weight qtWeight(Weight weight) {
  switch (weight) {
    case Weight::light:
      return QFont::Light;
    case Weight::medium:
      return QFont::Medium;
    case Weight::semibold:
      return QFont::DemiBold;
    case Weight::regular:
      break;
  }
  return QFont::Normal;
}

}  // namespace

QFont system(double points, Weight weight) {
  QFont font{QString::fromLatin1(family)};
  // Qt lays text out at 96 logical dots per inch, where one point is 4/3 pixel.
  font.setPointSizeF(points * 72.0 / 96.0);
  font.setWeight(qtWeight(weight));
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace wattline::Fonts

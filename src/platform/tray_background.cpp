// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/tray_background.h"

#include <algorithm>
#include <cmath>

namespace wattline {

namespace {

double linear(std::uint32_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double relativeLuminance(std::uint32_t argb) {
  return 0.2126 * linear((argb >> 16) & 0xff) + 0.7152 * linear((argb >> 8) & 0xff) +
         0.0722 * linear(argb & 0xff);
}

std::optional<double> backgroundLuminance(const std::vector<std::uint32_t>& pixels) {
  std::vector<double> values;
  values.reserve(pixels.size());
  for (std::uint32_t pixel : pixels)
    if ((pixel >> 24) == 0xff) values.push_back(relativeLuminance(pixel));
  if (values.empty()) return std::nullopt;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace wattline

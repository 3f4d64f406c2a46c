// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/power_supply_reading.h"

namespace wattline {

bool PowerSupplyReading::isUsbC() const {
  if (type != PowerSupplyType::usb) return false;
  if (name.starts_with("ucsi-source-psy-")) return true;
  // usb_type lists the connector's modes with the active one in brackets, e.g. "C [PD] PD_PPS".
  return usbType && (usbType->find("[C]") != std::string::npos || usbType->find("[PD") != std::string::npos);
}

UnavailableReason PowerSupplyReading::whyAbsent(std::string_view attribute) const {
  if (const auto it = problems.find(attribute); it != problems.end()) return it->second;
  return {UnavailableReason::Kind::notReported, path + "/" + std::string(attribute)};
}

}  // namespace wattline

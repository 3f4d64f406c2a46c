// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSettings>
#include <QString>

#include "platform/user_defaults.h"

namespace wattline {

// User defaults in QSettings' native format (~/.config/Wattline/Wattline.conf),
// or in a given file.
class QtUserDefaults : public UserDefaults {
 public:
  QtUserDefaults();
  explicit QtUserDefaults(const QString& file);

  bool boolValue(const std::string& key) const override;
  std::optional<double> number(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override;
  void setDouble(const std::string& key, double value) override;

 private:
  mutable QSettings settings_;
};

}  // namespace wattline

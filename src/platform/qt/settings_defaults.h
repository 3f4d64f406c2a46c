#pragma once

#include <QSettings>

#include "platform/user_defaults.h"

namespace wattline {

// The user's preferences in QSettings' native format (~/.config/Wattline/Wattline.conf).
class SettingsDefaults : public UserDefaults {
 public:
  SettingsDefaults();
  // Preferences kept in one file, for tests and other profiles.
  explicit SettingsDefaults(const QString& file);

  bool boolValue(const std::string& key) const override;
  std::optional<double> number(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override;
  void setDouble(const std::string& key, double value) override;

 private:
  mutable QSettings settings_;
};

}  // namespace wattline

#include "platform/qt/settings_defaults.h"

#include <cmath>

namespace wattline {

namespace {

QString qtKey(const std::string& key) {
  return QString::fromStdString(key);
}

}  // namespace

SettingsDefaults::SettingsDefaults()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Wattline"),
                QStringLiteral("Wattline")) {}

SettingsDefaults::SettingsDefaults(const QString& file) : settings_(file, QSettings::IniFormat) {}

// The INI format keeps every value as text, so a stored bool reads back as "true" or "false".
bool SettingsDefaults::boolValue(const std::string& key) const {
  QVariant value = settings_.value(qtKey(key));
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (value.typeId() == QMetaType::QString) return value.toString() == QStringLiteral("true");
  return false;
}

std::optional<double> SettingsDefaults::number(const std::string& key) const {
  QVariant value = settings_.value(qtKey(key));
  bool ok = false;
  double number = 0;
  if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Int ||
      value.typeId() == QMetaType::LongLong)
    number = value.toDouble(&ok);
  else if (value.typeId() == QMetaType::QString)
    number = value.toString().toDouble(&ok);
  if (!ok || !std::isfinite(number)) return std::nullopt;
  return number;
}

void SettingsDefaults::setBool(const std::string& key, bool value) {
  settings_.setValue(qtKey(key), value);
}

void SettingsDefaults::setDouble(const std::string& key, double value) {
  settings_.setValue(qtKey(key), value);
}

}  // namespace wattline

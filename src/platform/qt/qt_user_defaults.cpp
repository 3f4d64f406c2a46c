// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_user_defaults.h"

#include <QMetaType>

namespace wattline {

QtUserDefaults::QtUserDefaults()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, "Wattline", "Wattline") {}

QtUserDefaults::QtUserDefaults(const QString& file) : settings_(file, QSettings::IniFormat) {}

bool QtUserDefaults::boolValue(const std::string& key) const {
  QVariant value = settings_.value(QString::fromStdString(key));
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  // The text format stores every value as text.
  return value.typeId() == QMetaType::QString && value.toString() == "true";
}

std::optional<double> QtUserDefaults::number(const std::string& key) const {
  QVariant value = settings_.value(QString::fromStdString(key));
  if (!value.isValid() || value.typeId() == QMetaType::Bool) return std::nullopt;
  bool ok = false;
  double d = value.toDouble(&ok);
  if (!ok) return std::nullopt;
  return d;
}

void QtUserDefaults::setBool(const std::string& key, bool value) {
  settings_.setValue(QString::fromStdString(key), value);
  settings_.sync();
}

void QtUserDefaults::setDouble(const std::string& key, double value) {
  settings_.setValue(QString::fromStdString(key), value);
  settings_.sync();
}

}  // namespace wattline

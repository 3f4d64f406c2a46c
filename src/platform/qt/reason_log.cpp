// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/reason_log.h"

#include "platform/qt/log_categories.h"

namespace wattline {

void ReasonLog::update(const UnavailableReasons& reasons) {
  for (const auto& [field, reason] : reasons) {
    const auto before = logged_.find(field);
    if (before == logged_.end() || before->second != reason)
      qCInfo(logReaders).noquote() << QString::fromStdString(field)
                                   << "absent:" << QString::fromStdString(reason.text());
  }
  for (const auto& [field, reason] : logged_) {
    if (!reasons.contains(field))
      qCInfo(logReaders).noquote() << QString::fromStdString(field) << "available again";
  }
  logged_ = reasons;
}

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/log_categories.h"

namespace wattline {

Q_LOGGING_CATEGORY(logReaders, "wattline.readers", QtInfoMsg)
Q_LOGGING_CATEGORY(logHistory, "wattline.history", QtInfoMsg)
Q_LOGGING_CATEGORY(logTray, "wattline.tray", QtInfoMsg)
Q_LOGGING_CATEGORY(logPlatform, "wattline.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(logApp, "wattline.app", QtInfoMsg)
Q_LOGGING_CATEGORY(logUi, "wattline.ui", QtInfoMsg)

}  // namespace wattline

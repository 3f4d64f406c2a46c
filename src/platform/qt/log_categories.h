// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLoggingCategory>

// One logging category per area, so QT_LOGGING_RULES (and the journal's fields) can pick what to show:
// QT_LOGGING_RULES="wattline.*.debug=true" shows everything. Info and above are on by default.
namespace wattline {

Q_DECLARE_LOGGING_CATEGORY(logReaders)   // wattline.readers: why a number is absent, once per change
Q_DECLARE_LOGGING_CATEGORY(logHistory)   // wattline.history: the store's failures and refusals
Q_DECLARE_LOGGING_CATEGORY(logTray)      // wattline.tray: the status item and its hosts
Q_DECLARE_LOGGING_CATEGORY(logPlatform)  // wattline.platform: buses, sleep, priorities, desktop settings
Q_DECLARE_LOGGING_CATEGORY(logApp)       // wattline.app: launch, single copy, termination
Q_DECLARE_LOGGING_CATEGORY(logUi)        // wattline.ui: panel and history window

}  // namespace wattline

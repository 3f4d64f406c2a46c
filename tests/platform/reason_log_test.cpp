// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/reason_log.h"

#include <gtest/gtest.h>

#include <QString>
#include <QtGlobal>
#include <string>
#include <vector>

namespace wattline {
namespace {

std::vector<std::string> messages;

void capture(QtMsgType, const QMessageLogContext& context, const QString& text) {
  messages.push_back(std::string(context.category) + " " + text.toStdString());
}

// Each change of why a field is absent is logged once, on the readers' category.
TEST(ReasonLog, LogsEachChangeOnce) {
  using Kind = UnavailableReason::Kind;
  const QtMessageHandler previous = qInstallMessageHandler(capture);
  ReasonLog log;
  const UnavailableReasons denied{
      {"cpuWatts", {Kind::permissionDenied, "/sys/class/powercap/intel-rapl:0/energy_uj"}}};
  log.update(denied);
  log.update(denied);
  log.update({{"cpuWatts", {Kind::firstSample, "energy_uj"}}});
  log.update({});
  qInstallMessageHandler(previous);
  EXPECT_EQ(
      messages,
      (std::vector<std::string>{
          "wattline.readers cpuWatts absent: permission denied: /sys/class/powercap/intel-rapl:0/energy_uj",
          "wattline.readers cpuWatts absent: first sample: energy_uj",
          "wattline.readers cpuWatts available again"}));
}

}  // namespace
}  // namespace wattline

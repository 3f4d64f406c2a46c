// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/status_item_texts.h"

#include <cstdio>

namespace wattline {

namespace {

std::string title(std::optional<double> watts) {
  if (!watts) return "—W";
  char buffer[400];  // room for any double in %.1f
  std::snprintf(buffer, sizeof buffer, "%.1fW", *watts);
  return buffer;
}

}  // namespace

StatusTexts statusTexts(const PowerSnapshot& s, std::optional<int> demoMode,
                        std::optional<double> staleLimit) {
  StatusTexts texts;
  if (staleLimit) {
    char reason[64];
    std::snprintf(reason, sizeof reason, "读数已过期：超过 %g 秒未更新", *staleLimit);
    texts.title = title(std::nullopt);
    texts.accessibilityLabel =
        "电脑实时功耗：" + reading(std::nullopt, "瓦", 1, false) + "。" + reason + "。";
    texts.toolTip = std::string(reason) + "\n点击查看动态供电图";
    return texts;
  }
  texts.title = title(s.systemWatts);
  texts.accessibilityLabel =
      "电脑实时功耗：" + reading(s.systemWatts, "瓦", 1, false) + "。点击查看供电流向。";
  std::string& tip = texts.toolTip;
  if (demoMode) tip += "【模拟演示 · 非实测】\n";
  tip += s.status();
  tip += "\n充电器输入：" + (s.externalConnected || !s.externalKnown() ? reading(s.inputAmps, "A", 2, false)
                                                                       : std::string("未连接"));
  tip += "\n电池：" + reading(s.batteryAmps, "A", 2, false);
  tip += "\n电脑用电：" + reading(s.systemWatts, "W", 1, false);
  tip += "\n点击查看动态供电图";
  return texts;
}

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "app/status_icon_painter.h"
#include "app/status_item_rules.h"
#include "app/status_item_texts.h"
#include "platform/testing/recording_tray_host.h"
#include "platform/tray_background.h"
#include "status_item_rig.h"

using namespace wattline;

namespace {
const char* const tail = "\n点击查看动态供电图";
}  // namespace

TEST(StatusItemTexts, TitleAccessibilityAndToolTipSpellTheReadingOut) {
  PowerSnapshot charging = batteryReading(12.34, 1.234);
  charging.externalConnected = true;
  charging.inputAmps = 2.5;
  struct Case {
    PowerSnapshot snapshot;
    std::optional<int> demo;
    std::string title, label, toolTip;
  } cases[] = {
      {PowerSnapshot(), std::nullopt, "—W", "电脑实时功耗：— 瓦。点击查看供电流向。",
       std::string("无法读取电源数据\n充电器输入：未连接\n电池：— A\n电脑用电：— W") + tail},
      {charging, std::nullopt, "12.3W", "电脑实时功耗：12.3 瓦。点击查看供电流向。",
       std::string("电源供电 · 正在充电\n充电器输入：2.50 A\n电池：1.23 A\n电脑用电：12.3 W") + tail},
      {PowerSnapshot::demo(1), 1, "18.6W", "电脑实时功耗：18.6 瓦。点击查看供电流向。",
       std::string(
           "【模拟演示 · 非实测】\n电池正在为电脑供电\n充电器输入：未连接\n电池：-1.50 A\n电脑用电：18.6 W") +
           tail},
  };
  for (const auto& c : cases)
    EXPECT_EQ(statusTexts(c.snapshot, c.demo), (StatusTexts{c.title, c.label, c.toolTip})) << c.title;
}

TEST(StatusIcon, DotRunsIntoTheBatteryWhileChargingAndOutWhileDischarging) {
  testApplication();
  // At 32 pixels the dot's centre is at (its x in units) · 8/13 · 2, on row 13: x 12 and 14.
  using enum BatteryFlow;
  struct Case {
    BatteryFlow flow;
    double phase;
    int column;
  } cases[] = {{charging, 0.5, 14}, {discharging, 0.25, 17}, {idle, 0.5, 0}};
  for (const auto& c : cases) {
    const QImage image = paintStatusIcon(statusIconScene(c.flow, c.phase), {0, 0, 0}, 32);
    for (int column : {12, 14, 17, 19})
      EXPECT_EQ(qAlpha(image.pixel(column, 13)) > 128, column == c.column)
          << rawValue(c.flow) << c.phase << column;
  }
  // The base, 3 units up, lies 3 · 8/13 + 2 points above the bottom: row 24, in the given colour.
  const QImage light = paintStatusIcon(statusIconScene(idle, 0), {1, 1, 1}, 32);
  EXPECT_GT(qAlpha(light.pixel(16, 24)), 240);
  EXPECT_GT(qRed(light.pixel(16, 24)), 240);
  EXPECT_EQ(qAlpha(light.pixel(16, 26)), 0);
}

TEST(StatusIcon, InkContrastsWithTheTrayUnlessTheDesktopPrefersOtherwise) {
  using enum ColorScheme;
  const StyleColor white{1, 1, 1}, black{0, 0, 0}, palette{0.2, 0.3, 0.4};
  struct Case {
    ColorScheme scheme;
    std::optional<double> tray;
    StyleColor ink;
  } cases[] = {{noPreference, std::nullopt, palette},
               {noPreference, 0.17, white},
               {noPreference, 0.19, black},
               {dark, 0.9, white},
               {light, 0.0, black}};
  for (const auto& c : cases)
    EXPECT_EQ(statusIconColor(c.scheme, c.tray, palette), c.ink)
        << static_cast<int>(c.scheme) << " " << c.tray.value_or(-1);
  // The tray's luminance is the median of the opaque pixels: the icon's strokes over it do not decide.
  std::vector<std::uint32_t> pixels(60, 0xff202020);
  pixels.resize(100, 0xffffffff);
  pixels.resize(130, 0x00ffffff);
  EXPECT_NEAR(backgroundLuminance(pixels).value_or(-1), 0.0144, 1e-4);
  EXPECT_FALSE(backgroundLuminance({0x00ffffff}));
}

TEST(StatusItemRules, PhaseStepsOnlyWithMotionAndDataAndCrowdingOnlyInTheTopBar) {
  double phase = 0;
  for (int step = 1; step <= 8; ++step) phase = nextAnimationPhase(phase, false, true);
  EXPECT_NEAR(phase, 0.04, 1e-9);  // eight steps wrap once
  EXPECT_EQ(nextAnimationPhase(0.39, true, true), 0.39);
  EXPECT_EQ(nextAnimationPhase(0.39, false, false), 0.39);

  const std::vector<Rect> beside{{0, 776, 450, 24}, {550, 776, 450, 24}};  // a camera housing between
  struct Case {
    Rect item;
    std::vector<Rect> areas;
    bool crowded;
  } cases[] = {{{900, 776, 60, 24}, {}, false},
               {{980, 776, 60, 24}, {}, true},
               {{980, 300, 60, 24}, {}, false},
               {{980, 776, 0, 24}, {}, false},
               {{420, 776, 60, 24}, beside, true}};
  for (const auto& c : cases)
    EXPECT_EQ(itemCrowded({c.item, {0, 0, 1000, 800}, 24, 0, c.areas}), c.crowded)
        << c.item.x << "," << c.item.y;
}

TEST(StatusItem, SendsOnlyChangesAndMovesTheDotOnlyWhenAllowed) {
  wattline::testing::RecordingTrayHost host;
  StatusItemRig rig(host);
  EXPECT_EQ(host.accessibilityLabel, launchAccessibilityLabel);
  rig.publish(batteryReading(12.34, -1.5));
  EXPECT_EQ(host.title, "12.3W");
  ASSERT_EQ(host.icon.size(), 5u);
  rig.publish(batteryReading(12.34, -1.5));
  EXPECT_EQ(std::tie(host.iconSends, host.titleSends, host.toolTipSends), std::tuple(1, 1, 1));

  rig.item.animationStep();
  EXPECT_DOUBLE_EQ(rig.item.phase(), 0.13);
  EXPECT_EQ(std::tie(host.iconSends, host.titleSends, host.toolTipSends), std::tuple(2, 1, 1));
  // The panel's switch, the desktop's switch, or no data: the dot stands still.
  rig.defaults.setBool("reduceFlowMotion", true);
  rig.item.animationStep();
  rig.defaults.setBool("reduceFlowMotion", false);
  rig.desktop.setReduceMotion(true);
  rig.item.animationStep();
  rig.desktop.setReduceMotion(false);
  rig.publish(batteryReading(12.34, -1.5, false));
  rig.item.animationStep();
  EXPECT_DOUBLE_EQ(rig.item.phase(), 0.13);
  EXPECT_EQ(host.iconSends, 2);
  // An idle battery has no dot to move: the phase runs on, the picture stays.
  rig.publish(batteryReading(12.34, 0));
  const int idleSends = host.iconSends;
  rig.scheduler.advance(0.5);  // no timer yet
  rig.item.startAnimation();
  rig.scheduler.advance(0.5);
  EXPECT_DOUBLE_EQ(rig.item.phase(), 0.39);
  EXPECT_EQ(host.iconSends, idleSends);
  rig.item.stopAnimation();
  rig.scheduler.advance(1);
  EXPECT_DOUBLE_EQ(rig.item.phase(), 0.39);

  // A dark tray behind the icon redraws it light; a light desktop's preference comes first.
  host.behind = 0.05;
  host.replace(true);
  EXPECT_EQ(host.iconSends, idleSends + 1);
  EXPECT_EQ(host.icon[4].pixels[36 * 48 + 24], 0xffffffffu);  // the base at 48 pixels
  rig.desktop.setColorScheme(ColorScheme::light);
  EXPECT_EQ(host.icon[4].pixels[36 * 48 + 24], 0xff000000u);
}

// Readings that stop coming (a hardware file that never answers) leave no old number on the item; a host
// without text, or a crowded top bar for good, leaves the icon alone.
TEST(StatusItem, TheTitleGoesWhenStaleOnHostsWithoutTextAndForGoodOnceCrowded) {
  wattline::testing::RecordingTrayHost host;
  StatusItemRig rig(host);
  rig.item.startAnimation();
  rig.publish(batteryReading(12.34, -1.5));
  rig.scheduler.advance(3);
  EXPECT_EQ(host.title, "12.3W");
  rig.scheduler.advance(0.25);
  EXPECT_EQ(std::tie(host.title, host.toolTip),
            std::tuple("—W", std::string("读数已过期：超过 3 秒未更新") + tail));
  rig.publish(batteryReading(12.34, -1.5));
  EXPECT_EQ(host.title, "12.3W");

  host.replace(false);
  EXPECT_EQ(host.title, "");
  host.replace(true);
  EXPECT_EQ(host.title, "12.3W");
  host.where = TrayItemPlace{{980, 776, 60, 24}, {0, 0, 1000, 800}, 24, 0, {}};
  rig.publish(batteryReading(8.8, -1.5));
  EXPECT_TRUE(rig.item.iconOnlyForCrowding());
  EXPECT_EQ(host.title, "");
  host.where = TrayItemPlace{{900, 776, 60, 24}, {0, 0, 1000, 800}, 24, 0, {}};
  rig.publish(batteryReading(9.9, -1.5));
  EXPECT_EQ(rig.item.title(), "");
}

// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_panel.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "ui/panel/flow_diagram.h"
#include "ui/panel/panel_footer.h"
#include "ui/panel/panel_rig.h"
#include "ui/panel/panel_sections.h"
#include "ui/style/qt_color.h"

using namespace wattline;
using namespace wattline::testing;

namespace {

QAction* action(QMenu* menu, const std::string& text) {
  for (QAction* candidate : menu->actions())
    if (candidate->text().toStdString() == text) return candidate;
  ADD_FAILURE() << "no menu item " << text;
  return nullptr;
}

std::vector<std::string> titles(QMenu* menu) {
  std::vector<std::string> result;
  for (QAction* item : menu->actions()) result.push_back(item->text().toStdString());
  return result;
}

// The menu items checked or drawn with a mark.
std::vector<std::string> checked(QMenu* menu) {
  std::vector<std::string> result;
  for (QAction* item : menu->actions())
    if (item->isChecked() || !item->icon().isNull())
      result.push_back(item->text().toStdString() + (item->isChecked() ? " checked" : "") +
                       (item->icon().isNull() ? "" : " ✓"));
  return result;
}

// Pixels of `part` within `tolerance` of `color`, in `image` of `panel` drawn at twice its size.
int pixelsNear(const QImage& image, const QWidget& panel, const QWidget& part, const QRect& area,
               StyleColor color, int tolerance) {
  const QRect box(part.mapTo(&panel, area.topLeft()) * 2, area.size() * 2);
  int count = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      count += near(image.pixelColor(x, y), toQColor(color), tolerance);
  return count;
}

}  // namespace

TEST(FlowPanel, ReportsItsWantedSizeThroughItsOwnHeights) {
  PanelRig rig;
  ASSERT_FALSE(rig.sizes.empty());
  const Size closed = rig.sizes.back();
  rig.monitor->setDetailsExpanded(true);
  rig.settle();
  EXPECT_GT(rig.sizes.back().height, closed.height + 200);

  // The sum's rounding and floor are the placement's; here that both heights reach it.
  rig.panel->reportHeight(PanelRegion::content, 400.2);
  rig.panel->reportHeight(PanelRegion::footer, 41);
  EXPECT_EQ(rig.sizes.back(), (Size{420, 442}));
}

TEST(FlowPanel, DemoModeIsMarkedAndKeepsTheHistoryClosed) {
  PanelRig rig;
  rig.monitor->setDetailsExpanded(true);
  rig.settle();
  // Live readings from the battery controller's cache.
  EXPECT_TRUE(rig.panel->trend().content().cacheNotice);
  rig.panel->historyButton().click();
  EXPECT_EQ(rig.historyOpened, 1);

  rig.monitor->selectDemo(1);
  EXPECT_EQ(rig.panel->header().indicator().text, "演示 · 非实测");
  EXPECT_FALSE(rig.panel->trend().content().cacheNotice);
  EXPECT_FALSE(rig.panel->historyButton().isEnabled());
}

TEST(FlowPanel, RefreshMenuReadsNowMarksOnePresetAndChecksTheCustomInterval) {
  PanelRig rig;
  rig.monitor->setRefreshInterval(1.5);
  rig.settle();
  QMenu* menu = rig.panel->footer().refreshMenu();
  const int reads = rig.reads;
  action(menu, "立即刷新")->trigger();
  rig.settle();
  EXPECT_EQ(rig.reads, reads + 1);
  EXPECT_TRUE(checked(menu).empty()) << "1.5 s is no preset";

  // Chosen in the open menu, "自定义…" leaves the keyboard in the field: typing replaces the interval.
  rig.panel->show();
  rig.panel->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(rig.panel.get()));
  menu->popup(rig.panel->mapToGlobal(QPoint(20, 20)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
  menu->setActiveAction(action(menu, "自定义…"));
  QTest::keyClick(menu, Qt::Key_Return);
  CustomIntervalRow& row = rig.panel->customIntervalRow();
  ASSERT_TRUE(rig.panel->customIntervalShown() && !menu->isVisible());
  EXPECT_EQ(row.text(), "1.5");
  QTest::keyClick(rig.panel->windowHandle(), '4');
  EXPECT_EQ(row.text(), "4");
  row.field()->setText("0.2");  // out of range: the row stays and says why
  emit row.field()->returnPressed();
  EXPECT_TRUE(rig.monitor->refreshInterval() == 1.5 && rig.panel->customIntervalShown());
  EXPECT_EQ(std::make_pair(row.text(), row.hint()->text()),
            std::make_pair(QString("0.2"), QString("请输入 0.5–300 秒之间的数字")));
  row.field()->setText("300");
  row.findChild<QPushButton*>()->click();
  EXPECT_EQ(rig.monitor->refreshInterval(), 300);
  EXPECT_FALSE(rig.panel->customIntervalShown());

  // Reopened, the hint is calm again; a preset closes the row and carries the only mark.
  action(menu, "自定义…")->trigger();
  EXPECT_EQ(std::make_pair(row.text(), row.hint()->text()),
            std::make_pair(QString("300"), QString("支持 0.5–300 秒，设置会自动记住")));
  action(menu, "1 秒")->trigger();
  action(menu, "2 秒")->trigger();
  EXPECT_FALSE(rig.panel->customIntervalShown());
  EXPECT_EQ(rig.monitor->refreshInterval(), 2);
  EXPECT_EQ(checked(menu), std::vector<std::string>{"2 秒 checked ✓"});
  EXPECT_EQ(rig.panel->footer().refreshButton()->text(), "刷新 2 秒");
  EXPECT_EQ(titles(menu), (std::vector<std::string>{"0.5 秒", "1 秒", "2 秒", "5 秒", "10 秒", "30 秒",
                                                    "60 秒", "", "立即刷新", "自定义…"}));
}

TEST(FlowPanel, SettingsMenuSwitchesMotionAndFollowsTheLoginItem) {
  PanelRig rig;
  QMenu* menu = rig.panel->footer().settingsMenu();
  EXPECT_EQ(titles(menu),
            (std::vector<std::string>{"开机自启", "启动时展开面板", "系统登录项设置…", "", "流动动效",
                                      "高耗电提醒", "", "关于瓦迹 9.9", "退出瓦迹"}));
  action(menu, "关于瓦迹 9.9")->trigger();
  EXPECT_EQ(rig.abouts, 1);
  // Motion and alerts show as on while their stored switches, which turn them off, are unset.
  EXPECT_EQ(checked(menu), (std::vector<std::string>{"流动动效 checked", "高耗电提醒 checked"}));
  for (const char* item : {"流动动效", "启动时展开面板", "高耗电提醒"}) action(menu, item)->trigger();
  EXPECT_EQ(checked(menu), std::vector<std::string>{"启动时展开面板 checked"});
  for (const char* key : {"reduceFlowMotion", "showPanelOnLaunch", "drainAlertsOff"})
    EXPECT_TRUE(rig.defaults.boolValue(key)) << key;
  EXPECT_TRUE(rig.panel->diagram().reduceMotion());
  action(menu, "流动动效")->trigger();
  EXPECT_FALSE(rig.defaults.boolValue("reduceFlowMotion") || rig.panel->diagram().reduceMotion());
  // The desktop's own switch counts as well, at once.
  rig.desktop.setReduceMotion(true);
  EXPECT_TRUE(rig.panel->diagram().reduceMotion());

  // An entry written elsewhere is read again when the application becomes active.
  rig.loginItem->current = LoginItemState::enabled;
  rig.panel->applicationBecameActive();
  EXPECT_TRUE(action(menu, "开机自启")->isChecked());
  action(menu, "系统登录项设置…")->trigger();
  EXPECT_EQ(rig.loginItem->settingsOpened, 1);

  // A refused change is explained in an alert; dismissing it clears the notice.
  rig.loginItem->current = LoginItemState::notRegistered;
  rig.loginItem->failure = LoginItemError{"Wattline.Startup", 1, "不行"};
  rig.panel->applicationBecameActive();
  action(menu, "开机自启")->trigger();
  auto* alert = rig.panel->findChild<QMessageBox*>();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->text(), "未能开启开机自启。系统提示：不行");
  alert->reject();
  EXPECT_FALSE(rig.panel->startup().notice());
}

TEST(FlowPanel, DetailsButtonTogglesTheMonitorSaysItsStateAndScrollsBackUp) {
  PanelRig rig;
  rig.panel->resize(420, 300);
  rig.panel->show();
  QCoreApplication::processEvents();
  QScrollBar* scroll = rig.panel->findChild<QScrollArea*>()->verticalScrollBar();
  scroll->setValue(scroll->maximum());
  ASSERT_GT(scroll->value(), 0);
  ValueButton* button = rig.panel->footer().detailsButton();
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
  ASSERT_NE(accessible, nullptr);
  const auto said = [&] { return button->text() + " " + accessible->text(QAccessible::Value); };
  EXPECT_EQ(said(), "详情 已收起");
  button->click();
  EXPECT_EQ(said() + " " + button->toolTip(), "收起 已展开 收起功耗趋势");
  EXPECT_EQ(scroll->value(), 0);
}

// What the user sees drawn: the status in the battery's colour, a value in ink, a missing one muted.
TEST(FlowPanel, StatusTakesTheBatterysColourAndValuesTheirInk) {
  PanelRig rig;
  rig.panel->resize(420, 500);
  const QWidget& status = rig.panel->statusRow();
  const ComponentPowerRow& cells = rig.panel->componentPower();
  struct Case {
    int scene;
    int age;  // of the readings, in seconds
    StyleColor status, other;
    bool ink;
  } cases[] = {{0, 0, FlowStyle::aqua, FlowStyle::amber, true},
               {1, 0, FlowStyle::amber, FlowStyle::aqua, true},
               {1, 10, FlowStyle::amber, FlowStyle::aqua, false}};
  for (const auto& c : cases) {
    rig.live = PowerSnapshot::demo(c.scene, rig.clock.now() - std::chrono::seconds(c.age));
    rig.monitor->refresh(true);
    rig.settle();
    const QImage image = *renderOffscreen(*rig.panel, 2);
    // The sentence at the row's start; the charge beside it takes the same colour.
    const QRect sentence(0, 0, status.width() / 5, status.height());
    EXPECT_GT(pixelsNear(image, *rig.panel, status, sentence, c.status, 40), 20) << c.scene;
    EXPECT_EQ(pixelsNear(image, *rig.panel, status, status.rect(), c.other, 40), 0) << c.scene;
    // The CPU cell's value, in the lower half of the first third.
    const QRect value(0, cells.height() / 2, cells.width() / 3, cells.height() / 2);
    EXPECT_EQ(pixelsNear(image, *rig.panel, cells, value, FlowStyle::ink, 12) > 10, c.ink) << c.age;
  }
}

TEST(FlowPanel, HiddenPanelRunsNoTimer) {
  PanelRig rig;
  rig.monitor->selectDemo(0);
  rig.panel->show();
  runEventsFor(100);
  EXPECT_EQ(activeTimers(*rig.panel), 0);
  rig.monitor->setPanelVisible(true);
  EXPECT_TRUE(rig.panel->ticking() && rig.panel->diagram().isAnimating());
  rig.monitor->setPanelVisible(false);
  EXPECT_EQ(activeTimers(*rig.panel), 0);
  rig.monitor->setPanelVisible(true);
  rig.panel->hide();
  EXPECT_EQ(activeTimers(*rig.panel), 0);
}

TEST(FlowPanel, TrendLineBreaksAtAMissingSample) {
  testApplication();
  const Date now = dateFromSeconds(1'780'000'000);
  const auto ago = [&](int seconds) { return now - std::chrono::seconds(seconds); };
  PowerTrendView view;
  view.resize(396, view.height());
  std::vector<PowerSample> samples;
  for (int age : {80, 60, 40, 30, 20, 0})
    samples.push_back({ago(age), age == 30 ? std::nullopt : std::optional(20.0)});
  view.setContent({samples, now, false, "96 W", false});
  const QImage image = *renderOffscreen(view, 2);
  const QRectF canvas = view.canvas();
  // Bound 25 W: 20 W sits at y 47 − 44 × 0.8 in the 50-point canvas; x runs 2 … width − 2.
  const double y = canvas.top() + 47 - 44 * 0.8, span = canvas.width() - 4;
  const QColor blue = toQColor(FlowStyle::blue);
  const auto probe = [&](double x) { return pixelAt(image, canvas.left() + x, y, 2); };
  EXPECT_TRUE(near(probe(2 + span / 6), blue, 30));
  EXPECT_FALSE(near(probe(2 + span / 2), blue, 60));
  EXPECT_TRUE(near(probe(2 + span * 5 / 6), blue, 30));
}

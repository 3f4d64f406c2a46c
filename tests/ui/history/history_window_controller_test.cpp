// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>

#include "history_ui_support.h"
#include "platform/testing/history_week_window.h"
#include "ui/history/history_app_energy.h"
#include "ui/history/history_power_chart.h"
#include "ui/history/history_window_controller.h"
#include "ui/style/qt_color.h"

namespace wattline {
namespace {

using namespace wattline::testing;

struct Event {
  std::string name;
  std::uint64_t generation;
  bool programmatic;
  bool operator==(const Event&) const = default;
};

class HistoryWindowControllerTest : public ::testing::Test {
 protected:
  ExplorerHarness harness;
  int closes = 0;
  std::vector<Event> events;
  HistoryWindowController controller{
      harness.monitor,
      harness.scheduler,
      nullptr,
      [this] { ++closes; },
      [this](const std::string& name, std::uint64_t generation, bool programmatic) {
        events.push_back({name, generation, programmatic});
      },
      [this] { return harness.clock.now(); }};
  QWidget& window = *controller.window();

  bool reported(const std::string& name) const {
    return std::any_of(events.begin(), events.end(), [&](const Event& e) { return e.name == name; });
  }
};

// Closed by the user it calls onClose once, by its owner not at all; either way the explorer rests.
TEST_F(HistoryWindowControllerTest, ClosedByTheUserOrItsOwnerAndRestoredOnlyWhenAsked) {
  EXPECT_FALSE(window.isVisible() || controller.isPresented());
  EXPECT_EQ(window.size(), QSize(720, 740)) << "on the 800 x 800 offscreen screen";
  EXPECT_TRUE(controller.coordinatedPresent(1, true, true));
  EXPECT_TRUE(window.isVisible() && controller.isPresented() && controller.explorer().active());
  EXPECT_EQ(events.front(), (Event{"program.orderFront.begin", 1, false}));
  // Each history write the monitor ends reads the rows again, for a following cursor to move on.
  harness.scheduler.runUntilIdle();
  const std::size_t reads = harness.store->secondsQueries().size();
  harness.monitor.refresh(false);
  harness.scheduler.runBackground();
  harness.scheduler.runUntilIdle();
  harness.store->finishWrites();
  harness.scheduler.runUntilIdle();
  EXPECT_EQ(harness.store->secondsQueries().size(), reads + 1);
  EXPECT_FALSE(controller.coordinatedPresent(2, true, false)) << "already up";
  EXPECT_EQ(controller.operationGeneration(), 2u);
  events.clear();
  window.close();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(controller.isPresented() || controller.explorer().active());
  EXPECT_EQ(events, (std::vector<Event>{{"shouldClose", 2, false}, {"willClose", 2, false}}));
  EXPECT_FALSE(controller.coordinatedSuspend(2)) << "already closed";

  // Shown again, it is put away by the owner: a programmatic close, without onClose.
  controller.coordinatedPresent(3, true, true);
  events.clear();
  EXPECT_TRUE(controller.coordinatedSuspend(4));
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(controller.programmaticCloseDepth(), 0);
  EXPECT_EQ(events, (std::vector<Event>{{"program.close.begin", 4, true},
                                        {"shouldClose", 4, true},
                                        {"willClose", 4, true},
                                        {"program.close.end", 4, true}}));
  EXPECT_FALSE(window.isVisible() || controller.explorer().active());

  // Minimised, it is restored only when asked.
  controller.coordinatedPresent(5, true, true);
  window.showMinimized();
  EXPECT_TRUE(reported("didMiniaturize") && !controller.explorer().active());
  events.clear();
  EXPECT_FALSE(controller.coordinatedPresent(6, false, true));
  EXPECT_TRUE(window.isMinimized() && controller.isPresented() && !controller.explorer().active());
  EXPECT_TRUE(controller.coordinatedPresent(7, true, true));
  EXPECT_EQ(events.front(), (Event{"program.restore.begin", 7, false}));
  EXPECT_TRUE(reported("didDeminiaturize") && !window.isMinimized() && controller.explorer().active());
}

TEST(HistoryWeekWindowTest, ShowsAWeekOfRecordsInEveryPart) {
  ScratchDirectory directory;
  const auto url = directory.path() / "history.sqlite3";
  fillWeek(url);
  fillWeekLedger(url, 12);
  testApplication();
  HistoryWeekWindow week(url);
  week.controller->coordinatedPresent(1, true, true);
  HistoryExplorerModel& explorer = week.explorer();
  ASSERT_TRUE(week.waitFor([&] {
    return !explorer.loading() && explorer.selectedRow() && explorer.overview().buckets.size() >= 280;
  }));
  week.waitFor([] { return false; }, 0.1);
  EXPECT_GT(explorer.summary().valid, 3000);
  EXPECT_EQ(explorer.summary().bucketWidth, 6);
  QWidget* window = week.controller->window();
  for (const char* name : {"averageValue", "peakValue", "energyValue", "wattsValue"})
    EXPECT_TRUE(window->findChild<QLabel*>(name)->text().contains(QRegularExpression("^≈? ?[0-9.]+ k?Wh?$")))
        << name;
  QWidget* chart = window->findChild<HistoryPowerChart*>();
  const auto pixels = [](QWidget* part, auto match) {
    QImage image(part->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    part->render(&image);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) count += match(image.pixelColor(x, y));
    return count;
  };
  const auto blue = [](QColor c) { return c.blue() > 200 && c.red() < 100; };
  EXPECT_GT(pixels(chart, blue), 500) << "the curve";
  EXPECT_GT(pixels(window->findChild<QWidget*>("overviewSection"), blue), 100) << "the overview";

  // The apps' section lists the range's apps with the unbilled energy last; a chosen app is drawn in its
  // colour in the chart.
  ASSERT_TRUE(week.waitFor([&] { return explorer.apps().apps.size() == 10; }));
  std::vector<QString> names;
  for (const QPushButton* row : window->findChild<QWidget*>("appSection")->findChildren<QPushButton*>())
    if (!row->isHidden()) names.push_back(row->text());
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(names.back(), "● 未归属（空闲与内核）");
  const QRgb colour = toQColor(HistoryAppEnergy::color("desktop:app0")).rgb();
  const auto inColour = [colour](QColor c) { return c.rgb() == colour; };
  EXPECT_LT(pixels(chart, inColour), 20);
  explorer.selectApp("desktop:app0");
  ASSERT_TRUE(week.waitFor([&] { return !explorer.appPower().empty(); }));
  EXPECT_GT(pixels(chart, inColour), 200) << "the app's power";
}

}  // namespace
}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "platform/testing/fake_windowing.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "power/power_monitor.h"
#include "ui/panel/flow_window_controller.h"

using namespace wattline;
using namespace wattline::testing;
using Target = WindowPresentationTarget;
using Event = std::pair<std::string, std::string>;

namespace {

const Screen kMain{1, {0, 0, 1920, 1080}, {0, 0, 1920, 1050}, 0, {}};
const Screen kSide{2, {1920, 0, 1280, 1024}, {1920, 0, 1280, 1000}, 0, {}};
// The status button at the top of the side screen.
const StatusButtonPlace kButton{Rect{3000, 1000, 24, 24}, kSide};
const Rect kUnderButton{2604, 690, 420, 300};
const Rect kMainTopRight{1490, 740, 420, 300};

// The controller with fake windows and a monitor on virtual time; the trace is the test's view of it.
struct Rig {
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  MemoryDefaults defaults;
  PowerMonitor monitor{{scheduler, clock, defaults, [](bool) { return PowerSnapshot{}; },
                        [] { return ProcessEnergyBatch{}; }, nullptr, nullptr, nullptr},
                       false};
  FakeDesktop desktop;
  FakeHistoryFactory history{desktop};
  FakePanelWindow* panel = nullptr;
  QTemporaryDir dir;
  std::string traceFile = dir.filePath("trace.jsonl").toStdString();
  std::string probeFile = dir.filePath("probe.json").toStdString();
  int quits = 0;
  std::unique_ptr<FlowWindowController> controller;

  explicit Rig(std::optional<std::string> files = std::nullopt) {
    if (files) traceFile = probeFile = *files;
    desktop.setScreens({kMain, kSide});
    auto window = std::make_unique<FakePanelWindow>(desktop);
    panel = window.get();
    controller = std::make_unique<FlowWindowController>(
        FlowWindowServices{scheduler, clock, desktop, std::move(window), history.factory(), "0.1.0",
                           traceFile, probeFile},
        monitor, [this] { ++quits; });
  }
  void run() { scheduler.runUntilIdle(); }
  void show() { controller->show(kButton), run(); }
  void showHistory() { controller->showHistory(), run(); }
  std::vector<std::string> lines() const {
    std::ifstream in(traceFile);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
  std::vector<Event> events() const {
    std::vector<Event> result;
    for (const auto& line : lines()) {
      auto json = nlohmann::json::parse(line);
      result.emplace_back(json["event"], json["reason"]);
    }
    return result;
  }
  bool traced(const Event& event) const {
    auto all = events();
    return std::find(all.begin(), all.end(), event) != all.end();
  }
  long count(const std::string& operation) const {
    return std::count(panel->operations.begin(), panel->operations.end(), operation);
  }
};

}  // namespace

TEST(FlowWindowController, TwoQuickClicksLeaveOnlyTheLastGenerationActing) {
  Rig rig;
  rig.controller->toggle(kButton);
  rig.controller->toggle(kButton);
  rig.run();
  EXPECT_TRUE(rig.traced({"coordinator.stale", "user.panel"}));
  EXPECT_TRUE(rig.traced({"coordinator.begin", "user.status.dismiss"}));
  EXPECT_EQ(rig.count("makeKey"), 0);
  EXPECT_EQ(rig.desktop.activations, 0);  // the activation belonged to the stale generation
  EXPECT_EQ(rig.controller->presentationTarget(), Target::none);
}

// The history window is an ordinary window: Escape and clicks elsewhere leave it up.
TEST(FlowWindowController, EscapeClosesThePanelButPassesOnToTheHistoryWindow) {
  Rig rig;
  rig.showHistory();
  auto generation = rig.controller->requestGeneration();
  EXPECT_FALSE(rig.desktop.pressEscape());
  rig.desktop.clickOutside();
  rig.desktop.setActive(false);
  rig.run();
  EXPECT_TRUE(rig.history.created->visible && rig.history.created->suspends.empty());
  EXPECT_EQ(rig.controller->requestGeneration(), generation);

  rig.show();
  ASSERT_TRUE(rig.panel->isVisible() && rig.monitor.panelVisible());
  EXPECT_FALSE(rig.history.created->visible);  // at most one of them is presented
  rig.desktop.setKeyWindow(KeyWindow{3003, "", "", false, true});
  EXPECT_FALSE(rig.desktop.pressEscape()) << "another window's Escape is its own";
  rig.run();
  EXPECT_TRUE(rig.desktop.pressEscape());
  rig.run();
  EXPECT_TRUE(rig.traced({"request", "user.escape"}));
  EXPECT_FALSE(rig.panel->isVisible() || rig.monitor.panelVisible());
}

TEST(FlowWindowController, HistoryFromThePanelHidesItRestoresTheWindowAndHearsItsEvents) {
  Rig rig;
  rig.show();
  rig.controller->panelActions().onShowHistory();
  FakeHistoryPresenter& history = *rig.history.created;
  history.miniaturized = true;
  rig.run();
  auto events = rig.events();
  auto orderOut =
      std::find(events.begin(), events.end(), Event{"operation.begin", "panel.orderOut.target.history"});
  EXPECT_NE(std::find(orderOut, events.end(), Event{"operation.begin", "history.present"}), events.end());
  EXPECT_EQ(history.presents.front(), std::make_tuple(rig.controller->requestGeneration(), true, true));
  EXPECT_TRUE(history.visible && !history.miniaturized && history.window()->key);
  EXPECT_FALSE(rig.panel->isVisible());
  history.callbacks.onObservation("didMiniaturize", 7, false);
  EXPECT_TRUE(rig.traced({"history.didMiniaturize", "lastHistoryOperation=7, internalClose=false"}));
  history.callbacks.onClose();
  rig.run();
  EXPECT_TRUE(rig.traced({"request", "user.history.close"}));
  EXPECT_EQ(history.suspends.size(), 1u);
  history.callbacks.onPresent();
  rig.run();
  EXPECT_TRUE(history.visible);
}

TEST(FlowWindowController, ReopenBringsBackWhatWasPresented) {
  Rig rig;
  rig.showHistory();
  rig.desktop.setKeyWindow(std::nullopt);
  rig.desktop.setActive(false);  // the user went to another application
  rig.controller->reopen(kButton);
  rig.run();
  auto& presents = rig.history.created->presents;
  EXPECT_EQ(std::count_if(presents.begin(), presents.end(), [](auto& p) { return std::get<2>(p); }), 2);
  EXPECT_TRUE(rig.history.created->window()->key);
  EXPECT_EQ(rig.count("makeKey"), 0);

  Rig fresh;
  fresh.controller->reopen(kButton);
  fresh.run();
  EXPECT_TRUE(fresh.panel->isVisible() && fresh.panel->isKey());
  EXPECT_EQ(fresh.panel->frame(), kUnderButton);
  // A removed screen takes the anchor with it.
  fresh.controller->hide(), fresh.run();
  fresh.desktop.setScreens({kMain}), fresh.run();
  fresh.controller->show(std::nullopt), fresh.run();
  EXPECT_EQ(fresh.panel->frame(), kMainTopRight);
}

TEST(FlowWindowController, SizeReportsWithinOneTurnPlaceThePanelOnce) {
  Rig rig;
  rig.show();
  auto placements = rig.count("setFrame");
  auto layouts = rig.panel->layouts;
  auto actions = rig.controller->panelActions();
  for (double height : {320, 440, 380}) actions.onSizeChange({420, height});
  rig.run();
  EXPECT_EQ(rig.count("setFrame"), placements + 1);
  EXPECT_EQ(rig.panel->layouts, layouts + 1);
  EXPECT_EQ(rig.panel->frame(), (Rect{2604, 990 - 380, 420, 380}));  // still hanging from the button
  actions.quit();
  EXPECT_EQ(rig.quits, 1);
}

TEST(FlowWindowController, TraceLinesAndTheProbeCarryEveryKeySorted) {
  Rig rig;
  rig.show();
  const std::vector<std::string> keys = {
      "active",      "depth",          "event",     "generation", "hidesOnDeactivate",   "historyKey",
      "historyMini", "historyVisible", "keyWindow", "panelKey",   "panelMonitorVisible", "panelVisible",
      "reason",      "reconciling",    "target",    "uptime"};
  auto lines = rig.lines();
  ASSERT_GT(lines.size(), 5u);
  const std::regex key("\"([A-Za-z]+)\":");
  for (const auto& line : lines) {
    std::vector<std::string> found;
    for (std::sregex_iterator it(line.begin(), line.end(), key), end; it != end; ++it)
      found.push_back((*it)[1]);
    EXPECT_EQ(found, keys) << line;
  }
  EXPECT_NE(lines.back().find("\"keyWindow\":\"WattlinePanel-v3\""), std::string::npos);

  rig.controller->recordLayout("12.3W");
  std::ifstream in(rig.probeFile);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  auto probe = nlohmann::json::parse(text);
  EXPECT_EQ(text, probe.dump(2) + "\n");  // pretty, keys sorted
  const auto expected = nlohmann::json::parse(R"({"menuTitle": "12.3W", "historyVisible": false,
      "panelFrame": {"x": 2604, "y": 690, "width": 420, "height": 300}, "windowInsideSafeBounds": true,
      "menuAnchorIsUnobscured": true, "presentationTarget": "panel"})");
  for (const auto& [name, value] : expected.items()) EXPECT_EQ(probe[name], value) << name;

  Rig unwritable("/nonexistent/wattline/file");  // skipped silently
  unwritable.show();
  unwritable.controller->recordLayout("1W");
  EXPECT_TRUE(unwritable.panel->isVisible());
}

// Events and platform states that end in a request for nothing, by the reason they carry. A windowed
// panel (there is no tray) stays through all but the user's own, and does not take the focus back.
TEST(FlowWindowController, EventsThatPutThePanelAway) {
  const KeyWindow settings{3003, "", "设置", true, true};
  struct Case {
    std::string reason;
    bool user;
    std::function<void(Rig&)> act;
  } cases[] = {
      {"user.panel.close", true, [](Rig& r) { r.panel->requestClose(); }},
      {"app.hidden", false, [](Rig& r) { r.desktop.hideApplication(); }},
      {"outside.mouse", false, [](Rig& r) { r.desktop.clickOutside(); }},
      {"app.resignActive", false, [](Rig& r) { r.desktop.setActive(false); }},
      {"other.titled.key", false, [&](Rig& r) { r.desktop.setKeyWindow(settings); }},
      {"user.status.dismiss", true, [](Rig& r) { r.controller->toggle(kButton); }},
      // Focus gone before the application's notification: the reconciliation notices.
      {"inactive.panel", false,
       [](Rig& r) {
         r.desktop.setActive(false, false);
         r.desktop.setKeyWindow(std::nullopt);
       }},
  };
  for (bool windowed : {false, true})
    for (const auto& c : cases) {
      Rig rig;
      rig.controller->setWindowed(windowed);
      rig.show();
      ASSERT_TRUE(rig.panel->isVisible() && rig.panel->titled == windowed);
      c.act(rig);
      rig.run();
      const bool away = c.user || !windowed;
      EXPECT_EQ(rig.traced({"request", c.reason}), away) << c.reason << windowed;
      EXPECT_EQ(rig.panel->isVisible() && rig.monitor.panelVisible(), !away) << c.reason << windowed;
      EXPECT_EQ(rig.count("makeKey"), 1) << c.reason << windowed;
    }

  // A titled window already in front keeps the panel from opening at all.
  Rig rig;
  rig.desktop.setActive(true);
  rig.desktop.setKeyWindow(settings);
  rig.show();
  EXPECT_TRUE(rig.traced({"request", "priority.titled.window"}));
  EXPECT_EQ(rig.count("makeKey"), 0);
}

TEST(FlowWindowController, ReentrancyTerminationAndAMissingHistoryWindow) {
  Rig rig;
  // A window operation that runs the queue: the nested reconciliation only asks for one more.
  rig.panel->duringMakeKey = [&] {
    rig.desktop.setScreens({kMain, kSide});
    rig.run();
  };
  rig.show();
  int begins = 0;
  for (const auto& line : rig.lines()) {
    auto json = nlohmann::json::parse(line);
    if (json["event"] != "coordinator.begin") continue;
    ++begins;
    EXPECT_EQ(json["depth"], 0) << line;
  }
  EXPECT_EQ(begins, 2);  // the show, then one follow-up for the re-entry and the notifications

  rig.controller->toggle(kButton);
  rig.desktop.terminate();
  rig.run();
  rig.showHistory();
  EXPECT_TRUE(rig.traced({"app.terminate", "notification"}));
  EXPECT_FALSE(rig.traced({"coordinator.begin", "user.status.dismiss"}));
  EXPECT_EQ(rig.controller->presentationTarget(), Target::none);

  Rig missing;
  missing.history.available = false;
  missing.showHistory();
  EXPECT_EQ(missing.controller->presentationTarget(), Target::history);
  EXPECT_FALSE(missing.traced({"coordinator.end", "user.history"}));
}

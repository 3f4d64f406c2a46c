// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "platform/startup_policy.h"
#include "platform/testing/fake_windowing.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/recording_tray_host.h"
#include "platform/testing/scripted_desktop_settings.h"
#include "platform/testing/scripted_history_service.h"
#include "qt_application.h"

using namespace wattline;
using namespace wattline::testing;
using Target = WindowPresentationTarget;

namespace {

struct FakeWindows : AppWindows {
  explicit FakeWindows(FakeDesktop& shared) : desktop(shared) {}
  std::unique_ptr<TrayHost> makeTray() override {
    auto host = std::make_unique<RecordingTrayHost>();
    host->present = trayPresent;
    tray = host.get();
    return host;
  }
  std::unique_ptr<PanelWindow> makePanelWindow() override {
    auto window = std::make_unique<FakePanelWindow>(desktop);
    panel = window.get();
    return window;
  }
  void fillPanel(PowerMonitor&, PanelActions actions) override { panelActions = std::move(actions); }
  std::unique_ptr<HistoryPresenter> makeHistory(PowerMonitor&, HistoryCallbacks callbacks) override {
    return history.factory()(std::move(callbacks));
  }

  FakeDesktop& desktop;
  bool trayPresent = true;
  RecordingTrayHost* tray = nullptr;
  FakePanelWindow* panel = nullptr;
  PanelActions panelActions;
  FakeHistoryFactory history{desktop};
};

// One launch of the application on virtual time.
struct Launch {
  Launch(std::vector<std::string> arguments, MemoryDefaults& defaults, bool anotherCopy = false,
         bool tray = true) {
    testApplication();
    windows.trayPresent = tray;
    desktop.setScreens({{1, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 0, {}}});
    desktop.setActive(true);
    arguments.insert(arguments.begin(), "wattline");
    auto read = [this](bool) { return ++reads, PowerSnapshot(); };
    auto open = [this](const std::filesystem::path& file) { return stores.push_back(file), store; };
    delegate = std::make_unique<AppDelegate>(
        AppServices{scheduler, clock, defaults, desktop, settings, windows, nullptr, nullptr, read,
                    [] { return ProcessEnergyBatch{}; }, open, "/data/Wattline/history.sqlite3",
                    [anotherCopy] { return anotherCopy; }, [this] { ++exits; }, "0.1.0", nullptr},
        parseCommandLine(arguments));
    launched = delegate->applicationDidFinishLaunching();
    scheduler.runBackground();
    scheduler.runUntilIdle();
  }
  Target target() { return delegate->windowController()->presentationTarget(); }

  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  FakeDesktop desktop;
  ScriptedDesktopSettings settings;
  FakeWindows windows{desktop};
  std::shared_ptr<ScriptedHistoryService> store = std::make_shared<ScriptedHistoryService>();
  std::vector<std::filesystem::path> stores;
  int reads = 0, exits = 0;
  bool launched = false;
  std::unique_ptr<AppDelegate> delegate;
};

}  // namespace

TEST(Launch, ThePanelOpensByItselfOnTheFirstLaunchWhenForcedPreferredOrTraylessAndNeverWithTheHistoryWindow) {
  struct Case {
    std::vector<std::string> arguments;
    bool shownBefore, preferred;
    Target expected;
    bool shownAfter;
    bool tray = true;
  } cases[] = {
      {{}, false, false, Target::panel, true},
      {{}, true, false, Target::none, true},
      {{"--show"}, true, false, Target::panel, true},
      {{}, true, true, Target::panel, true},
      {{"--history-window", "--show"}, false, false, Target::history, false},
      // Without a tray to click it opens anyway, as an ordinary window.
      {{}, true, false, Target::panel, true, false},
  };
  for (const auto& c : cases) {
    MemoryDefaults defaults;
    if (c.shownBefore) defaults.setBool(StartupPolicy::didShowWelcomeKey, true);
    defaults.setBool(StartupPolicy::showOnLaunchKey, c.preferred);
    Launch launch(c.arguments, defaults, false, c.tray);
    const std::string label = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(defaults.boolValue(StartupPolicy::didShowWelcomeKey), c.shownAfter) << label;
    launch.scheduler.advance(0.39);
    EXPECT_NE(launch.target(), Target::panel) << label;
    launch.scheduler.advance(0.01);
    EXPECT_EQ(launch.target(), c.expected) << label;
    EXPECT_EQ(launch.windows.panel->isVisible(), c.expected == Target::panel) << label;
    EXPECT_EQ(launch.windows.panel->titled, !c.tray) << label;
    EXPECT_TRUE(c.expected != Target::history || launch.windows.history.created->visible) << label;
    // A tray that comes later hangs the panel from its icon again.
    launch.windows.tray->click(Rect{1800, 1056, 24, 24});
    EXPECT_FALSE(launch.windows.panel->titled) << label;
  }
}

TEST(Launch, ASecondCopyEndsBeforeAnythingExistsAndTheHistoryDirectoryIsTakenFromTheWorkingDirectory) {
  MemoryDefaults defaults;
  Launch second({"--history-directory", "here"}, defaults, true);
  EXPECT_EQ(std::make_tuple(second.launched, second.delegate->monitor(), second.reads, second.stores.size(),
                            second.windows.tray),
            std::make_tuple(false, nullptr, 0, 0u, nullptr));
  EXPECT_FALSE(defaults.contains(StartupPolicy::didShowWelcomeKey));

  Launch named({"--history-directory", "here"}, defaults);
  EXPECT_EQ(named.stores, std::vector{std::filesystem::current_path() / "here" / "history.sqlite3"});
  Launch last({"--history-directory"}, defaults);  // without a value: the default place
  EXPECT_EQ(last.stores, std::vector<std::filesystem::path>{"/data/Wattline/history.sqlite3"});
}

TEST(Launch, AClickOnASideScreenHangsThePanelThereAndQuitWaitsForTheLastWrite) {
  MemoryDefaults defaults;
  defaults.setBool(StartupPolicy::didShowWelcomeKey, true);
  Launch launch({}, defaults);
  launch.desktop.setScreens({{1, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 0, {}},
                             {2, {1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}, 0, {}}});
  launch.windows.tray->click(Rect{3000, 1000, 24, 24});
  launch.scheduler.runUntilIdle();
  EXPECT_EQ(launch.windows.panel->frame(), (Rect{3024 - 420, 1000 - 300, 420, 300}));  // right edges lined up

  launch.scheduler.advance(1);
  launch.scheduler.runBackground();
  launch.scheduler.runUntilIdle();
  ASSERT_GT(launch.store->pendingWrites(), 0u);
  launch.windows.panelActions.quit();
  launch.scheduler.advance(2);
  EXPECT_EQ(launch.exits, 0);
  launch.store->finishWrites();
  launch.scheduler.runUntilIdle();
  EXPECT_EQ(launch.exits, 1);
}

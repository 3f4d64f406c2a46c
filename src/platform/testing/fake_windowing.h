#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/windowing.h"

namespace wattline::testing {

class FakePanelWindow;

// An application with scripted activation, key window and screens. Window
// notifications are delivered synchronously, as a window system does while an
// operation runs.
class FakeDesktop : public Desktop {
 public:
  bool isActive() const override { return active_; }
  // Counts the call; with `grantsActivation` the application becomes active at once.
  void activate() override;
  std::optional<KeyWindow> keyWindow() const override { return key_; }
  std::vector<Screen> screens() const override { return screens_; }
  // The first screen.
  std::optional<Screen> mainScreen() const override;
  std::unique_ptr<Subscription> observe(DesktopHandlers handlers) override;

  bool grantsActivation = true;
  int activations = 0;

  // Each fires the matching notification when something changes (setActive only when asked to).
  void setActive(bool active, bool notify = true);
  void setKeyWindow(std::optional<KeyWindow> window);
  void setScreens(std::vector<Screen> screens);
  // What the user does; pressEscape presses it in the key window and answers whether it was consumed.
  bool pressEscape();
  void clickOutside();
  void hideApplication();
  void terminate();

 private:
  friend class FakePanelWindow;
  class Token;
  template <class Call>
  void each(Call call);

  bool active_ = false;
  std::optional<KeyWindow> key_;
  std::vector<Screen> screens_;
  FakePanelWindow* panel_ = nullptr;
  int next_ = 0;
  std::map<int, DesktopHandlers> handlers_;
};

// The panel window; it is key while the desktop says so.
class FakePanelWindow : public PanelWindow {
 public:
  static constexpr WindowId kId = 1001;
  explicit FakePanelWindow(FakeDesktop& desktop);
  ~FakePanelWindow() override;

  WindowId id() const override { return kId; }
  std::string identifier() const override { return "WattlinePanel-v3"; }
  bool isVisible() const override { return visible_; }
  bool isKey() const override;
  bool hidesOnDeactivate() const override { return false; }
  void orderOut() override;
  void setTitled(bool value) override { titled = value; }
  void makeKeyAndOrderFront() override;
  Rect frame() const override { return frame_; }
  void setFrame(const Rect& frame) override;
  std::optional<int> screen() const override;
  void layoutContent() override { ++layouts; }
  PanelLayout layout() const override;
  std::unique_ptr<Subscription> observe(PanelWindowHandlers handlers) override;

  // The operations performed, in order: "orderOut", "makeKey", "setFrame".
  std::vector<std::string> operations;
  bool titled = false;
  int layouts = 0;
  // Runs inside makeKeyAndOrderFront, as a window system's synchronous callbacks would.
  std::function<void()> duringMakeKey;
  // Asks the panel to close, as the window system does.
  void requestClose();
  const PanelWindowHandlers& handlers() const { return handlers_; }

 private:
  FakeDesktop& desktop_;
  bool visible_ = false;
  Rect frame_{0, 0, 420, 300};
  PanelWindowHandlers handlers_;
};

// The history window's controller: presents and suspends a window that can be
// miniaturised, and lets a test play the window's own events.
class FakeHistoryPresenter : public HistoryPresenter {
 public:
  static constexpr WindowId kId = 2002;
  FakeHistoryPresenter(FakeDesktop& desktop, HistoryCallbacks handlers)
      : callbacks(std::move(handlers)), desktop_(desktop) {}

  bool isPresented() const override { return presented_; }
  std::optional<HistoryWindowState> window() const override;
  bool coordinatedPresent(std::uint64_t generation, bool restoreMinimized, bool focus) override;
  bool coordinatedSuspend(std::uint64_t generation) override;

  bool visible = false;
  bool miniaturized = false;
  // (generation, restoreMinimized, focus) of every present; generations of every suspend.
  std::vector<std::tuple<std::uint64_t, bool, bool>> presents;
  std::vector<std::uint64_t> suspends;
  HistoryCallbacks callbacks;

 private:
  FakeDesktop& desktop_;
  bool presented_ = false;
};

// Makes FakeHistoryPresenter objects, or nothing while `available` is false.
struct FakeHistoryFactory {
  explicit FakeHistoryFactory(FakeDesktop& shared) : desktop(shared) {}
  HistoryPresenterFactory factory();

  FakeDesktop& desktop;
  bool available = true;
  FakeHistoryPresenter* created = nullptr;
};

}  // namespace wattline::testing

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/system_events.h"

namespace wattline {

// The application, its windows and the screens as the window controllers see
// them. Rectangles are in screen coordinates with y growing upwards; every
// handler runs on the main thread, and window operations take effect at once.

// Names one window of the application; 0 is no window.
using WindowId = std::uintptr_t;

struct Screen {
  int id = 0;  // stays the same while the screen is connected
  Rect frame;
  Rect visibleFrame;                     // without the desktop's panels and docks
  double safeTopInset = 0;               // height of the unsafe band at the top (a camera housing), else 0
  std::vector<Rect> unobscuredTopAreas;  // the top areas beside a camera housing, else none
};

// Where the status item's button is. A button that has no window yet has neither.
struct StatusButtonPlace {
  std::optional<Rect> frame;
  std::optional<Screen> screen;
};

// The application's key window.
struct KeyWindow {
  WindowId id = 0;
  std::string identifier;  // may be empty
  std::string title;
  bool titled = false;  // a normal window with a title bar
  bool visible = false;
};

// The frames inside the panel, for the layout probe: the rounded container and
// the view hosting the content.
struct PanelLayout {
  Rect containerFrame, containerBounds, hostingFrame, hostingBounds;
};

struct PanelWindowHandlers {
  std::function<void()> closeRequested;  // closing is always allowed
  std::function<void()> willClose;
  std::function<void()> becameKey;
  std::function<void()> resignedKey;
  std::function<void()> occlusionChanged;
};

// The drop-down panel: borderless, above other windows, without a taskbar entry;
// it takes the keyboard (Escape) when key. Without a tray to hang from it becomes
// an ordinary titled window.
class PanelWindow {
 public:
  virtual ~PanelWindow() = default;
  virtual WindowId id() const = 0;
  virtual std::string identifier() const = 0;
  virtual bool isVisible() const = 0;
  virtual bool isKey() const = 0;
  virtual bool hidesOnDeactivate() const = 0;
  virtual void orderOut() = 0;
  // An ordinary window with a title bar and a taskbar entry, or the borderless panel again.
  virtual void setTitled(bool titled) = 0;
  virtual void makeKeyAndOrderFront() = 0;
  virtual Rect frame() const = 0;
  // Drawn at once, without animation.
  virtual void setFrame(const Rect& frame) = 0;
  // The id of the screen the panel is on, absent when it is on none.
  virtual std::optional<int> screen() const = 0;
  // Lays the content out for the current frame now rather than on the next pass.
  virtual void layoutContent() = 0;
  virtual PanelLayout layout() const = 0;
  virtual std::unique_ptr<Subscription> observe(PanelWindowHandlers handlers) = 0;
};

struct DesktopHandlers {
  std::function<void()> outsideMouseDown;  // a mouse button went down in another application
  // Escape pressed in `window` of this application while no menu or modal alert of the application
  // is open (those take their own Escape): true consumes the key, false passes it on.
  std::function<bool(WindowId window)> escapeKey;
  std::function<void()> becameActive;
  std::function<void()> resignedActive;
  std::function<void()> hidden;
  std::function<void()> willTerminate;
  std::function<void(const KeyWindow&)> windowBecameKey;
  std::function<void()> screensChanged;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual bool isActive() const = 0;
  // Brings this application forward, ignoring other applications.
  virtual void activate() = 0;
  virtual std::optional<KeyWindow> keyWindow() const = 0;
  virtual std::vector<Screen> screens() const = 0;
  virtual std::optional<Screen> mainScreen() const = 0;
  virtual std::unique_ptr<Subscription> observe(DesktopHandlers handlers) = 0;
};

// What the panel's controller needs of the history window's controller.
struct HistoryWindowState {
  WindowId id = 0;
  bool visible = false;
  bool miniaturized = false;
  bool key = false;
};

struct HistoryCallbacks {
  std::function<void()> onPresent;
  std::function<void()> onClose;
  // Every window event with the generation of the last coordinated operation
  // and whether the controller itself was closing the window.
  std::function<void(const std::string& event, std::uint64_t generation, bool internalClose)> onObservation;
};

class HistoryPresenter {
 public:
  virtual ~HistoryPresenter() = default;
  virtual bool isPresented() const = 0;
  // Absent while there is no window.
  virtual std::optional<HistoryWindowState> window() const = 0;
  // Shows the window; true when anything changed.
  virtual bool coordinatedPresent(std::uint64_t generation, bool restoreMinimized, bool focus) = 0;
  // Puts the window away; true when anything changed.
  virtual bool coordinatedSuspend(std::uint64_t generation) = 0;
};

// Makes the history window's controller; nothing when it cannot be made.
using HistoryPresenterFactory = std::function<std::unique_ptr<HistoryPresenter>(HistoryCallbacks)>;

}  // namespace wattline

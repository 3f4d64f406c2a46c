// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/geometry.h"

namespace wattline {

// One square rendering of an icon, row by row from the top; each pixel is
// 0xAARRGGBB with straight (not premultiplied) alpha.
struct IconImage {
  int size = 0;
  std::vector<std::uint32_t> pixels;
  bool operator==(const IconImage&) const = default;
};

// Where a host shows the item, in screen coordinates with y growing upwards,
// and what is known of the top of that screen.
struct TrayItemPlace {
  Rect item;
  Rect screen;
  // The panel band along the top of the screen.
  double barThickness = 0;
  // The unsafe band at the top (a camera housing); none on these displays.
  double safeTop = 0;
  // The areas beside a camera housing; empty without one.
  std::vector<Rect> unobscuredTopAreas;
};

// The desktop's tray as the status item sees it: an icon with an optional
// title beside it, a tooltip, an accessibility text, and clicks. Everything
// runs on the main thread.
class TrayHost {
 public:
  // Where the user clicked, in upward screen coordinates: the icon's rectangle,
  // a zero-size rectangle at the click point, or nothing when the host does not say.
  using Anchor = std::optional<Rect>;

  virtual ~TrayHost() = default;
  // The same picture at several pixel sizes; the host picks.
  virtual void setIcon(std::vector<IconImage> images) = 0;
  // The text beside the icon, empty for the icon alone; `guide` is the widest
  // text it will take, so that a host can reserve that room once.
  virtual void setTitle(const std::string& title, const std::string& guide) = 0;
  virtual void setToolTip(const std::string& text) = 0;
  virtual void setAccessibilityLabel(const std::string& text) = 0;
  // Whether the host can show the title beside the icon at all.
  virtual bool showsTitle() const = 0;
  // The item's place on screen, where the host reports it.
  virtual std::optional<TrayItemPlace> place() const = 0;
  // Whether the desktop shows the item at all: false when it has no tray.
  virtual bool available() const { return true; }
  // The relative luminance (0 black … 1 white) of the tray behind the icon, where the host can tell;
  // it draws the icon in the colour it is given.
  virtual std::optional<double> backgroundLuminance() const { return std::nullopt; }

  void setOnActivate(std::function<void(Anchor)> handler) { onActivate_ = std::move(handler); }
  // Called after the host behind the item changed (what showsTitle and place answer may differ).
  void setOnHostChange(std::function<void()> handler) { onHostChange_ = std::move(handler); }

 protected:
  void activated(Anchor anchor) {
    if (onActivate_) onActivate_(anchor);
  }
  void hostChanged() {
    if (onHostChange_) onHostChange_();
  }

 private:
  std::function<void(Anchor)> onActivate_;
  std::function<void()> onHostChange_;
};

}  // namespace wattline

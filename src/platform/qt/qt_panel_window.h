// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>

#include "platform/windowing.h"

class QWidget;

namespace wattline {

// The drop-down panel on Qt: a frameless tool window that stays on top and
// has no taskbar entry, titled "瓦迹", with corners rounded to 18 points. Where
// a compositor runs the corners are transparent; elsewhere a window mask cuts
// them off. Titled, it is a plain square window. Needs a QApplication.
class QtPanelWindow : public PanelWindow {
 public:
  QtPanelWindow();
  ~QtPanelWindow() override;

  // Shows `content` edge to edge inside the rounded container; the panel owns it.
  void setContent(QWidget* content);
  // The content is made by `make` when the panel is first laid out or shown, not before.
  void setContentMaker(std::function<QWidget*()> make);
  QWidget& widget();

  WindowId id() const override;
  std::string identifier() const override;
  bool isVisible() const override;
  bool isKey() const override;
  bool hidesOnDeactivate() const override { return false; }
  void orderOut() override;
  void setTitled(bool titled) override;
  void makeKeyAndOrderFront() override;
  Rect frame() const override;
  void setFrame(const Rect& frame) override;
  std::optional<int> screen() const override;
  void layoutContent() override;
  PanelLayout layout() const override;
  std::unique_ptr<Subscription> observe(PanelWindowHandlers handlers) override;

 private:
  class Surface;
  void makeContent();
  std::unique_ptr<Surface> surface_;
  std::function<QWidget*()> makeContent_;
};

// Whether a compositor draws the windows, so that transparent pixels show what lies below.
bool compositorRunning();

}  // namespace wattline

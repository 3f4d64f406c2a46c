// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/desktop_settings.h"
#include "platform/geometry.h"
#include "platform/identity.h"
#include "platform/startup_settings.h"
#include "platform/user_defaults.h"
#include "power/power_monitor.h"
#include "ui/panel/panel_actions.h"

class QMessageBox;
class QPushButton;
class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace wattline {

class FlowDiagram;
class HeaderRow;
class StatusRow;
class ComponentPowerRow;
class PowerTrendView;
class ExtraDetailsView;
class PanelFooter;
class CustomIntervalRow;

enum class PanelRegion { content, footer };

// What the panel reaches besides the monitor; tests hand in fakes.
struct FlowPanelEnvironment {
  UserDefaults& defaults;
  std::shared_ptr<LoginItemManaging> loginItem;
  DesktopSettings& desktop;
  const Clock& clock;
  std::string version;              // the program's, for "关于瓦迹"
  std::function<void()> showAbout;  // the application's about dialog
};

// The drop-down panel: header, status, flow diagram, component power and,
// with details shown, the trend, the history entry, sensors and the app
// ranking; the footer below. It redraws whenever the monitor publishes, and
// its per-second parts tick only while the monitor says the panel is visible.
// A static preview lays the same content out at 420 points without scrolling
// or controls.
class FlowPanel : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* reduceMotionKey = "reduceFlowMotion";

  FlowPanel(PowerMonitor& monitor, FlowPanelEnvironment environment, bool staticPreview, bool previewDetails,
            PanelActions actions, QWidget* parent = nullptr);
  ~FlowPanel() override;

  // A region's measured height; once both are known the wanted size goes to onSizeChange.
  void reportHeight(PanelRegion region, double height);
  // The application became active: the login item may have changed meanwhile.
  void applicationBecameActive();
  // "自定义…": opens the custom-interval row with the current interval.
  void openCustomInterval();
  // Applies the custom-interval text, or marks it invalid and keeps the row open.
  void applyCustomInterval();
  void closeCustomInterval();

  bool detailsShown() const;
  bool customIntervalShown() const { return showCustomInterval_; }
  bool reduceMotion() const { return reduceMotion_; }
  // The per-second clock runs.
  bool ticking() const { return ticker_.isActive(); }

  StartupSettings& startup() { return *startup_; }
  FlowDiagram& diagram() const { return *diagram_; }
  PanelFooter& footer() const { return *footer_; }
  HeaderRow& header() const { return *header_; }
  StatusRow& statusRow() const { return *status_; }
  ComponentPowerRow& componentPower() const { return *components_; }
  PowerTrendView& trend() const { return *trend_; }
  ExtraDetailsView& extraDetails() const { return *extra_; }
  CustomIntervalRow& customIntervalRow() const { return *customRow_; }
  QPushButton& historyButton() const { return *historyButton_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void build();
  void monitorChanged(PowerMonitor::Field field);
  // Everything drawn from the monitor's values and now.
  void refreshContent();
  void refreshFooter();
  void reconcileTicker();
  void measure();
  void scrollToTop();
  void setReduceMotion(bool reduce);
  void showNoticeIfAny();

  PowerMonitor& monitor_;
  FlowPanelEnvironment environment_;
  bool staticPreview_;
  bool previewDetails_;
  PanelActions actions_;
  std::unique_ptr<Subscription> desktopObserver_;
  std::unique_ptr<StartupSettings> startup_;

  bool showCustomInterval_ = false;
  bool reduceMotion_ = false;
  bool lastDetailsShown_ = false;
  std::map<PanelRegion, double> heights_;
  int observer_ = -1;

  QTimer ticker_{this};
  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  HeaderRow* header_ = nullptr;
  StatusRow* status_ = nullptr;
  CustomIntervalRow* customRow_ = nullptr;
  FlowDiagram* diagram_ = nullptr;
  ComponentPowerRow* components_ = nullptr;
  QWidget* details_ = nullptr;
  PowerTrendView* trend_ = nullptr;
  QPushButton* historyButton_ = nullptr;
  QLabel* historyError_ = nullptr;
  ExtraDetailsView* extra_ = nullptr;
  PanelFooter* footer_ = nullptr;
  QPointer<QMessageBox> alert_;
};

}  // namespace wattline

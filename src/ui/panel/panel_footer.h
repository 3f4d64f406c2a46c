// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/startup_settings.h"
#include "platform/user_defaults.h"
#include "power/power_monitor.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace wattline {

// A tool button that also tells assistive technology its state as a value.
class ValueButton : public QToolButton {
  Q_OBJECT
 public:
  explicit ValueButton(QWidget* parent = nullptr);
  void setAccessibleValue(const QString& value) { value_ = value; }
  QString accessibleValue() const { return value_; }

 private:
  QString value_;
};

// The strip below the panel's content: the refresh-interval menu, the details
// toggle and the settings menu. In a static preview the same row is drawn
// without controls.
class PanelFooter : public QWidget {
  Q_OBJECT
 public:
  struct Actions {
    std::function<void()> openCustomInterval;   // "自定义…"
    std::function<void()> closeCustomInterval;  // a preset was chosen
    std::function<void(bool)> setReduceMotion;  // "流动动效" switched
    std::function<void()> about;                // "关于瓦迹"
    std::function<void()> quit;
  };
  struct Flags {
    bool staticPreview = false;
    bool previewDetails = false;
  };

  // `version` follows "关于瓦迹 " in the settings menu.
  PanelFooter(PowerMonitor& monitor, StartupSettings& startup, UserDefaults& defaults, Flags flags,
              const std::string& version, Actions actions, QWidget* parent = nullptr);

  // Takes the interval, the details flag, the login item and the toggles anew.
  void refresh(bool reduceMotion);

  // Null in a static preview.
  QMenu* refreshMenu() const { return refreshMenu_; }
  QMenu* settingsMenu() const { return settingsMenu_; }
  ValueButton* detailsButton() const { return details_; }
  QToolButton* refreshButton() const { return refreshButton_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildControls(const std::string& version);
  void buildRefreshMenu();
  void buildSettingsMenu(const std::string& version);
  bool detailsShown() const;

  PowerMonitor& monitor_;
  StartupSettings& startup_;
  UserDefaults& defaults_;
  Flags flags_;
  Actions actions_;
  bool reduceMotion_ = false;

  QToolButton* refreshButton_ = nullptr;
  QMenu* refreshMenu_ = nullptr;
  // Checkable in one exclusive group: only the current interval carries the check mark.
  std::vector<std::pair<double, QAction*>> presets_;
  QIcon checkmark_;
  ValueButton* details_ = nullptr;
  QToolButton* settingsButton_ = nullptr;
  QMenu* settingsMenu_ = nullptr;
  QAction* loginItem_ = nullptr;
  QAction* showOnLaunch_ = nullptr;
  QAction* loginSettings_ = nullptr;
  QAction* motion_ = nullptr;
  QAction* drainAlerts_ = nullptr;
};

// The row where a refresh interval is typed in.
class CustomIntervalRow : public QWidget {
  Q_OBJECT
 public:
  CustomIntervalRow(std::function<void()> apply, std::function<void()> cancel, QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const;
  void setInvalid(bool invalid);
  QLineEdit* field() const { return field_; }
  QLabel* hint() const { return hint_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLineEdit* field_;
  QLabel* hint_;
};

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <memory>

#include "platform/tray_host.h"

namespace wattline {

// The tray host the desktop offers: our StatusNotifierItem while a
// StatusNotifierWatcher runs on the session bus, else the XEmbed tray, else
// none (said once on standard error; the program then opens its panel as a
// window).
// It chooses again when the watcher appears or goes away, and hands the new
// host everything the old one showed.
class TrayHostChooser : public QObject, public TrayHost {
  Q_OBJECT
 public:
  enum class Kind { none, statusNotifierItem, systemTray };

  explicit TrayHostChooser(QDBusConnection bus = QDBusConnection::sessionBus());
  ~TrayHostChooser() override;

  Kind kind() const { return kind_; }

  void setIcon(std::vector<IconImage> images) override;
  void setTitle(const std::string& title, const std::string& guide) override;
  void setToolTip(const std::string& text) override;
  void setAccessibilityLabel(const std::string& text) override;
  bool showsTitle() const override { return host_ && host_->showsTitle(); }
  std::optional<TrayItemPlace> place() const override;
  bool available() const override { return host_ != nullptr; }
  std::optional<double> backgroundLuminance() const override;

 private:
  void choose();
  void show(TrayHost& host) const;

  QDBusConnection bus_;
  QDBusServiceWatcher watcher_;
  Kind kind_ = Kind::none;
  std::unique_ptr<TrayHost> host_;
  // What the item shows, for the next host.
  std::vector<IconImage> icon_;
  std::string title_, guide_, toolTip_, accessibilityLabel_;
};

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/tray_host_chooser.h"

#include <QDBusConnectionInterface>
#include <QSystemTrayIcon>
#include <iostream>

#include "platform/qt/status_notifier_item_host.h"
#include "platform/qt/system_tray_host.h"

namespace wattline {

TrayHostChooser::TrayHostChooser(QDBusConnection bus)
    : bus_(std::move(bus)),
      watcher_(StatusNotifierItemHost::watcherService, bus_,
               QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration) {
  connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { choose(); });
  connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { choose(); });
  choose();
  if (kind_ == Kind::none) std::cerr << "no system tray found; start wattline again to open the panel\n";
}

TrayHostChooser::~TrayHostChooser() = default;

void TrayHostChooser::choose() {
  const QDBusConnectionInterface* busInterface = bus_.isConnected() ? bus_.interface() : nullptr;
  Kind wanted = Kind::none;
  if (busInterface && busInterface->isServiceRegistered(StatusNotifierItemHost::watcherService))
    wanted = Kind::statusNotifierItem;
  // Asked only without a watcher: Qt decides once whether its own tray icon goes over D-Bus.
  else if (QSystemTrayIcon::isSystemTrayAvailable())
    wanted = Kind::systemTray;
  // A watcher gone with nothing else to take its place: keep the item, which
  // registers again when the watcher comes back.
  if (wanted == kind_ || wanted == Kind::none) return;

  host_.reset();
  if (wanted == Kind::statusNotifierItem)
    host_ = std::make_unique<StatusNotifierItemHost>(bus_);
  else
    host_ = std::make_unique<SystemTrayHost>();
  kind_ = wanted;
  host_->setOnActivate([this](Anchor anchor) { activated(anchor); });
  host_->setOnHostChange([this] { hostChanged(); });
  show(*host_);
  hostChanged();
}

void TrayHostChooser::show(TrayHost& host) const {
  if (!icon_.empty()) host.setIcon(icon_);
  host.setTitle(title_, guide_);
  host.setToolTip(toolTip_);
  host.setAccessibilityLabel(accessibilityLabel_);
}

void TrayHostChooser::setIcon(std::vector<IconImage> images) {
  icon_ = std::move(images);
  if (host_) host_->setIcon(icon_);
}

void TrayHostChooser::setTitle(const std::string& title, const std::string& guide) {
  title_ = title;
  guide_ = guide;
  if (host_) host_->setTitle(title, guide);
}

void TrayHostChooser::setToolTip(const std::string& text) {
  toolTip_ = text;
  if (host_) host_->setToolTip(text);
}

void TrayHostChooser::setAccessibilityLabel(const std::string& text) {
  accessibilityLabel_ = text;
  if (host_) host_->setAccessibilityLabel(text);
}

std::optional<TrayItemPlace> TrayHostChooser::place() const {
  return host_ ? host_->place() : std::nullopt;
}

std::optional<double> TrayHostChooser::backgroundLuminance() const {
  return host_ ? host_->backgroundLuminance() : std::nullopt;
}

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/status_item.h"

#include "app/status_icon_painter.h"
#include "app/status_item_rules.h"
#include "app/status_item_texts.h"

namespace wattline {

namespace {

const char* const reduceFlowMotionKey = "reduceFlowMotion";
constexpr double animationInterval = 0.25;

// Sends `text` through `send` unless the host already shows it.
template <class Send>
void sendChanged(std::optional<std::string>& shown, const std::string& text, Send send) {
  if (shown == text) return;
  shown = text;
  send(text);
}

}  // namespace

StatusItem::StatusItem(StatusItemServices services, Toggle toggle) : services_(services) {
  services_.host.setOnActivate(std::move(toggle));
  // A host that cannot show text puts the item in the icon-only state, and back.
  services_.host.setOnHostChange([this] { updateStatus(); });
  desktopChanges_ = services_.desktop.observe([this] { updateStatusImage(); });
  sendChanged(accessibilityLabel_, launchAccessibilityLabel,
              [this](const std::string& text) { services_.host.setAccessibilityLabel(text); });
}

StatusItem::~StatusItem() {
  services_.host.setOnActivate(nullptr);
  services_.host.setOnHostChange(nullptr);
}

void StatusItem::updateStatus() {
  TrayHost& host = services_.host;
  const std::optional<double> stale = staleLimit();
  showsStale_ = stale.has_value();
  const StatusTexts texts = statusTexts(services_.monitor.snapshot(), services_.monitor.demoMode(), stale);
  const std::string title = iconOnlyForCrowding_ || !host.showsTitle() ? std::string() : texts.title;
  if (title != title_) {
    title_ = title;
    host.setTitle(title_, statusTitleGuide);
  }
  sendChanged(accessibilityLabel_, texts.accessibilityLabel,
              [&](const std::string& text) { host.setAccessibilityLabel(text); });
  sendChanged(toolTip_, texts.toolTip, [&](const std::string& text) { host.setToolTip(text); });
  updateStatusImage();
  // After the host has laid out this update.
  services_.scheduler.post([this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.lock()) crowdingCheck();
  });
}

void StatusItem::updateStatusImage() {
  Picture picture{statusIconScene(services_.monitor.snapshot().flow(), phase_),
                  statusIconColor(services_.desktop.colorScheme(), services_.host.backgroundLuminance(),
                                  paletteTextColor())};
  if (picture_ == picture) return;
  services_.host.setIcon(statusIconImages(picture.scene, picture.color));
  picture_ = std::move(picture);
}

std::optional<double> StatusItem::staleLimit() const {
  const PowerMonitor& monitor = services_.monitor;
  if (monitor.demoMode()) return std::nullopt;
  return staleReadingLimit(monitor.snapshot().timestamp, services_.clock.now(), monitor.refreshInterval());
}

void StatusItem::animationStep() {
  if (staleLimit().has_value() != showsStale_) updateStatus();
  const bool reduceMotion =
      services_.defaults.boolValue(reduceFlowMotionKey) || services_.desktop.reduceMotion();
  const double next = nextAnimationPhase(phase_, reduceMotion, services_.monitor.snapshot().available);
  if (next == phase_) return;
  phase_ = next;
  updateStatusImage();
}

void StatusItem::startAnimation() {
  animationTimer_ = services_.scheduler.repeating(animationInterval, 0, [this] { animationStep(); });
}

void StatusItem::stopAnimation() {
  if (animationTimer_) animationTimer_->invalidate();
  animationTimer_.reset();
}

void StatusItem::crowdingCheck() {
  if (iconOnlyForCrowding_) return;
  const std::optional<TrayItemPlace> place = services_.host.place();
  if (!place || !itemCrowded(*place)) return;
  iconOnlyForCrowding_ = true;
  updateStatus();
}

}  // namespace wattline

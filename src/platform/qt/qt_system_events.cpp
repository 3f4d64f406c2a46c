// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_system_events.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QSocketNotifier>

#include "platform/linux/udev_power_monitor.h"
#include "platform/qt/log_categories.h"

namespace wattline {

namespace {

// Owns whatever Qt objects deliver an event; destroying it stops delivery.
class ObjectSubscription : public Subscription {
 public:
  explicit ObjectSubscription(std::unique_ptr<QObject> object) : object_(std::move(object)) {}

 private:
  std::unique_ptr<QObject> object_;
};

class PowerSourceSubscription : public Subscription {
 public:
  PowerSourceSubscription(std::unique_ptr<UdevPowerMonitor> monitor, std::function<void()> handler)
      : monitor_(std::move(monitor)), notifier_(monitor_->fd(), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this, handler = std::move(handler)] {
      if (monitor_->drain()) handler();
    });
  }

 private:
  std::unique_ptr<UdevPowerMonitor> monitor_;
  QSocketNotifier notifier_;
};

}  // namespace

SleepSignalReceiver::SleepSignalReceiver(bool sleeping, std::function<void()> handler,
                                         std::optional<QDBusConnection> delayBus)
    : sleeping_(sleeping), handler_(std::move(handler)), delayBus_(std::move(delayBus)) {
  if (delayBus_) takeInhibitor();
}

void SleepSignalReceiver::prepareForSleep(bool sleeping) {
  if (sleeping == sleeping_) handler_();
  if (!delayBus_) return;
  asleep_ = sleeping;
  if (sleeping) {
    ++request_;  // an answer still on its way comes too late
    inhibitor_ = QDBusUnixFileDescriptor();
  } else {
    takeInhibitor();
  }
}

void SleepSignalReceiver::takeInhibitor() {
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                     "org.freedesktop.login1.Manager", "Inhibit");
  call << QString("sleep") << QString("瓦迹") << QString("记录睡眠前的最后读数") << QString("delay");
  auto* watcher = new QDBusPendingCallWatcher(delayBus_->asyncCall(call), this);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                   [this, request = ++request_](QDBusPendingCallWatcher* finished) {
                     QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                     finished->deleteLater();
                     if (reply.isError()) {
                       qCWarning(logPlatform)
                           << "sleep is not delayed for the last reading:" << reply.error().message();
                       return;
                     }
                     if (request == request_ && !asleep_) inhibitor_ = reply.value();
                   });
}

std::unique_ptr<Subscription> QtSystemEvents::onSleepSignal(bool sleeping, std::function<void()> handler) {
  if (!bus_.isConnected()) {
    static bool told = false;
    if (!told) {
      qCInfo(logPlatform) << "no system bus, so sleep and wake are not followed";
      told = true;
    }
    return nullptr;
  }
  auto receiver = std::make_unique<SleepSignalReceiver>(sleeping, std::move(handler),
                                                        sleeping ? std::optional(bus_) : std::nullopt);
  if (!bus_.connect("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                    "PrepareForSleep", receiver.get(), SLOT(prepareForSleep(bool))))
    return nullptr;
  return std::make_unique<ObjectSubscription>(std::move(receiver));
}

std::unique_ptr<Subscription> QtSystemEvents::onWillSleep(std::function<void()> handler) {
  return onSleepSignal(true, std::move(handler));
}

std::unique_ptr<Subscription> QtSystemEvents::onDidWake(std::function<void()> handler) {
  return onSleepSignal(false, std::move(handler));
}

std::unique_ptr<Subscription> QtSystemEvents::onBecameActive(std::function<void()> handler) {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return nullptr;
  auto context = std::make_unique<QObject>();
  QObject::connect(app, &QGuiApplication::applicationStateChanged, context.get(),
                   [handler = std::move(handler)](Qt::ApplicationState state) {
                     if (state == Qt::ApplicationActive) handler();
                   });
  return std::make_unique<ObjectSubscription>(std::move(context));
}

std::unique_ptr<Subscription> QtSystemEvents::onPowerSourceChange(std::function<void()> handler) {
  auto monitor = UdevPowerMonitor::open();
  if (!monitor) return nullptr;
  return std::make_unique<PowerSourceSubscription>(std::move(monitor), std::move(handler));
}

}  // namespace wattline

#pragma once

#include <QDBusConnection>
#include <QObject>

#include "platform/system_events.h"

namespace wattline {

// Sleep and wake from logind's PrepareForSleep signal on the system bus, the
// application becoming active from Qt, power-source changes from udev.
// Without a system bus or udev those events simply never come.
class QtSystemEvents : public SystemEvents {
 public:
  explicit QtSystemEvents(QDBusConnection systemBus = QDBusConnection::systemBus())
      : bus_(std::move(systemBus)) {}

  std::unique_ptr<Subscription> onWillSleep(std::function<void()> handler) override;
  std::unique_ptr<Subscription> onDidWake(std::function<void()> handler) override;
  std::unique_ptr<Subscription> onBecameActive(std::function<void()> handler) override;
  std::unique_ptr<Subscription> onPowerSourceChange(std::function<void()> handler) override;

 private:
  std::unique_ptr<Subscription> onSleepSignal(bool sleeping, std::function<void()> handler);

  QDBusConnection bus_;
};

// Receives logind's PrepareForSleep(bool) signal.
class SleepSignalReceiver : public QObject {
  Q_OBJECT
 public:
  SleepSignalReceiver(bool sleeping, std::function<void()> handler)
      : sleeping_(sleeping), handler_(std::move(handler)) {}
 public slots:
  void prepareForSleep(bool sleeping) {
    if (sleeping == sleeping_) handler_();
  }

 private:
  bool sleeping_;
  std::function<void()> handler_;
};

}  // namespace wattline

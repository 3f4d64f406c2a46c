// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <optional>

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

// Receives logind's PrepareForSleep(bool) signal. The receiver of the will-sleep
// handler also holds a "delay" inhibitor while the machine is awake, so that
// logind waits for the handler before the machine sleeps; it lets go once the
// handler has run and takes a new one after waking.
class SleepSignalReceiver : public QObject {
  Q_OBJECT
 public:
  SleepSignalReceiver(bool sleeping, std::function<void()> handler, std::optional<QDBusConnection> delayBus);
 public slots:
  void prepareForSleep(bool sleeping);

 private:
  void takeInhibitor();

  bool sleeping_;
  std::function<void()> handler_;
  std::optional<QDBusConnection> delayBus_;
  // Closing the descriptor releases the inhibitor.
  QDBusUnixFileDescriptor inhibitor_;
  // Only the answer to the latest request is kept, and only while awake.
  int request_ = 0;
  bool asleep_ = false;
};

}  // namespace wattline

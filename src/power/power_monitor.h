// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/power_snapshot.h"
#include "history/history_service.h"
#include "platform/identity.h"
#include "platform/process_activity.h"
#include "platform/scheduler.h"
#include "platform/system_events.h"
#include "platform/user_defaults.h"
#include "power/app_energy_ledger.h"
#include "power/drain_alert_policy.h"
#include "power/power_history.h"
#include "readers/process_power_snapshot.h"

namespace wattline {

// What the monitor reaches outside itself.
struct PowerMonitorServices {
  Scheduler& scheduler;
  const Clock& clock;
  UserDefaults& defaults;
  // The live reader; called off the main thread with whether to read the detail
  // sensors. Must be set unless every read comes from the monitor's read source.
  std::function<PowerSnapshot(bool includeDetails)> liveRead;
  // Per-process energy counters; called off the main thread. Must be set before details are sampled.
  std::function<ProcessEnergyBatch()> processSource;
  // Used only when the monitor observes the system.
  SystemEvents* events = nullptr;
  ProcessActivity* activity = nullptr;
  // Makes the default history store when the monitor observes the system and was given none.
  std::function<std::shared_ptr<HistoryService>()> defaultStore;
  // The process batches the ledger bills, every 10 s while history is recorded; called off the main
  // thread. Empty: no ledger.
  std::function<ProcessEnergyBatch()> ledgerSource = {};
  // Told when one app drains the battery, unless the user turned the alerts off.
  std::function<void(const DrainAlert&)> drainAlert = {};
};

// Set when the user turned the drain alerts off (they are on by default).
inline constexpr const char* kDrainAlertsOffKey = "drainAlertsOff";

inline constexpr std::chrono::seconds kReadWaitAtDestruction{1};

// Reads a snapshot at the refresh interval, never two at a time, publishes it
// with the one-minute trend, records history once per second, samples the
// apps' power while the panel shows its details, and bills the apps' energy
// to the history every 10 s while it records. Lives on the main thread.
class PowerMonitor {
 public:
  // The published values; observers hear of every assignment.
  enum class Field {
    snapshot,
    history,
    refreshInterval,
    demoMode,
    panelVisible,
    detailsExpanded,
    processPower,
    detailSampleCount,
    sampleCount,
    historyError,
    ledgerSampleCount
  };

  static constexpr double kLedgerInterval = 10.0;

  // The services, and what liveRead and processSource use, must outlive the monitor;
  // its destruction waits for a read that is running, so they may go right after,
  // unless the read is stuck: after kReadWaitAtDestruction the monitor goes
  // anyway, and the scheduler's background work tells whether a read still runs.
  PowerMonitor(PowerMonitorServices services, bool observeSystem,
               std::shared_ptr<HistoryService> historyStore = nullptr,
               std::function<PowerSnapshot()> readSource = nullptr);
  ~PowerMonitor();
  PowerMonitor(const PowerMonitor&) = delete;
  PowerMonitor& operator=(const PowerMonitor&) = delete;

  // Asks for a reading; without updateDisplay it is recorded but not published.
  void refresh(bool updateDisplay);
  // False, changing nothing, for an invalid interval or after stop.
  bool setRefreshInterval(double seconds);
  // A demonstration scene 0...3, or live data again.
  void selectDemo(std::optional<int> index);
  void setPanelVisible(bool visible);
  void setDetailsExpanded(bool expanded);
  // Terminal: timers, notifications and reads end. A history write in flight goes on.
  void stop();
  // Calls `done` once the history write in flight (if any) has finished.
  void flushHistory(std::function<void()> done);

  const PowerSnapshot& snapshot() const { return snapshot_; }
  const std::vector<PowerSample>& history() const { return history_; }
  // The preview renderer installs a synthetic trend.
  void setHistory(std::vector<PowerSample> history);
  double refreshInterval() const { return refreshInterval_; }
  std::optional<int> demoMode() const { return demoMode_; }
  bool panelVisible() const { return panelVisible_; }
  bool detailsExpanded() const { return detailsExpanded_; }
  const ProcessPowerSnapshot& processPower() const { return processPower_; }
  long detailSampleCount() const { return detailSampleCount_; }
  long sampleCount() const { return sampleCount_; }
  // Process batches the ledger has taken.
  long ledgerSampleCount() const { return ledgerSampleCount_; }
  // Assigned as each history write ends, so that its observers also learn of every write.
  const std::optional<std::string>& historyError() const { return historyError_; }
  const std::shared_ptr<HistoryService>& historyStore() const { return historyStore_; }

  // Called after each publication.
  std::function<void()> didUpdate;
  int observe(std::function<void(Field)> observer);
  void removeObserver(int id);

 private:
  bool shouldSampleDetails() const;
  void scheduleTimer();
  void apply(const PowerSnapshot& snapshot);
  void willSleep();
  void didWake();
  void reconcileDetails();
  void refreshDetails();
  bool shouldKeepLedger() const;
  // Starts or ends the ledger's sampling to match the state; an end writes the minutes still open.
  void reconcileLedger();
  void sampleLedger();
  void writeLedger(std::vector<LedgerMinute> minutes);
  // Tells of an app that drains the battery, from the interval the ledger billed last.
  void judgeDrain(double uptime);
  // `uptime` is the monotonic clock when the snapshot was read.
  void persist(const PowerSnapshot& snapshot, double uptime);
  void startDemoPrune();
  void finishHistoryTask(const std::optional<HistoryError>& error);
  void changed(Field field);
  void notifyUpdate();
  // Keeps the token of background work until it has ended, so that destruction can wait for it.
  CancelTokenPtr track(CancelTokenPtr work);

  PowerMonitorServices services_;
  // Callbacks hold this weakly: a monitor that is gone ends them without effect.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  PowerSnapshot snapshot_;
  std::vector<PowerSample> history_;
  double refreshInterval_ = 1.0;
  std::optional<int> demoMode_;
  bool panelVisible_ = false;
  bool detailsExpanded_ = false;
  ProcessPowerSnapshot processPower_;
  long detailSampleCount_ = 0;
  long sampleCount_ = 0;
  std::shared_ptr<HistoryService> historyStore_;
  std::optional<std::string> historyError_;
  std::optional<int> historyActivity_;
  std::unique_ptr<Timer> historyTimer_;
  bool historyTask_ = false;
  std::vector<std::function<void()>> flushWaiters_;
  bool sleeping_ = false;
  bool pendingDisplay_ = false;
  std::unique_ptr<Timer> timer_;
  std::vector<std::unique_ptr<Subscription>> subscriptions_;
  std::unique_ptr<Subscription> powerSourceNotification_;
  CancelTokenPtr readTask_;
  bool readPending_ = false;
  long generation_ = 0;
  bool stopped_ = false;
  std::function<PowerSnapshot()> readSource_;

  std::unique_ptr<Timer> detailTimer_;
  CancelTokenPtr detailTask_;
  long detailGeneration_ = 0;
  std::optional<ProcessEnergyBatch> processBaseline_;

  AppEnergyLedger ledger_;
  DrainAlertPolicy drainAlerts_;
  std::unique_ptr<Timer> ledgerTimer_;
  CancelTokenPtr ledgerTask_;
  long ledgerGeneration_ = 0;
  long ledgerSampleCount_ = 0;
  // The last reading's power source, for the interval the next batch closes.
  bool onBattery_ = false;

  std::vector<CancelTokenPtr> backgroundWork_;
  int nextObserver_ = 0;
  std::vector<std::pair<int, std::function<void(Field)>>> observers_;
};

}  // namespace wattline

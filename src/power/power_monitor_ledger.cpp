// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's ledger: a process batch every 10 s while history is recorded, each app's energy billed by
// minute and the finished minutes written to the history store.
#include "power/power_monitor.h"

namespace wattline {

bool PowerMonitor::shouldKeepLedger() const {
  return !stopped_ && !sleeping_ && !demoMode_ && historyStore_ && services_.ledgerSource;
}

void PowerMonitor::reconcileLedger() {
  const bool keep = shouldKeepLedger();
  if (keep && ledgerTimer_) return;
  ++ledgerGeneration_;
  ledgerTimer_.reset();
  if (ledgerTask_) ledgerTask_->cancel();
  ledgerTask_.reset();
  // What was measured of the open minutes is kept; the next batch starts a new interval.
  writeLedger(ledger_.finish());
  if (!keep) return;
  std::weak_ptr<int> weak = alive_;
  ledgerTimer_ = services_.scheduler.repeating(kLedgerInterval, 0.5, [this, weak] {
    if (weak.lock()) sampleLedger();
  });
  sampleLedger();
}

void PowerMonitor::sampleLedger() {
  if (!shouldKeepLedger() || ledgerTask_) return;
  const long generation = ledgerGeneration_;
  std::weak_ptr<int> weak = alive_;
  ledgerTask_ = track(services_.scheduler.background(services_.ledgerSource,
                                                     [this, weak, generation](ProcessEnergyBatch batch) {
                                                       if (!weak.lock() || generation != ledgerGeneration_)
                                                         return;
                                                       ledgerTask_.reset();
                                                       writeLedger(ledger_.add(batch, onBattery_));
                                                       judgeDrain(batch.uptime);
                                                       ++ledgerSampleCount_;
                                                       changed(Field::ledgerSampleCount);
                                                     }));
}

void PowerMonitor::judgeDrain(double uptime) {
  const std::optional<AppEnergyLedger::Interval>& interval = ledger_.lastInterval();
  if (!interval) {
    drainAlerts_.reset();
    return;
  }
  std::map<std::string, DrainAlertPolicy::AppUse> apps;
  for (const auto& [app, share] : interval->used)
    if (app != kUnbilledApp) apps[app] = {share.name, share.joules};
  const std::optional<DrainAlert> alert =
      drainAlerts_.add(uptime, interval->seconds, onBattery_, interval->packageJoules, apps);
  if (alert && services_.drainAlert && !services_.defaults.boolValue(kDrainAlertsOffKey))
    services_.drainAlert(*alert);
}

void PowerMonitor::writeLedger(std::vector<LedgerMinute> minutes) {
  if (minutes.empty() || !historyStore_) return;
  std::weak_ptr<int> weak = alive_;
  historyStore_->recordLedger(std::move(minutes), services_.clock.now(),
                              [this, weak](std::optional<HistoryError> error) {
                                if (!weak.lock() || !error) return;
                                historyError_ = error->description;
                                changed(Field::historyError);
                              });
}

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's work beside the read pipeline: per-process power while the
// panel shows its details, and handing readings to the history store.
#include <cmath>

#include "history/history_record.h"
#include "power/power_monitor.h"
#include "readers/process_power_policy.h"

namespace wattline {

bool PowerMonitor::shouldSampleDetails() const {
  return !stopped_ && !sleeping_ && panelVisible_ && detailsExpanded_ && !demoMode_;
}

void PowerMonitor::setDetailsExpanded(bool expanded) {
  if (stopped_ || expanded == detailsExpanded_) return;
  detailsExpanded_ = expanded;
  changed(Field::detailsExpanded);
  reconcileDetails();
  refresh(true);
}

void PowerMonitor::reconcileDetails() {
  ++detailGeneration_;
  detailTimer_.reset();
  // A read in flight finishes; the generation check drops its batch.
  processBaseline_.reset();
  if (demoMode_ && detailsExpanded_) {
    processPower_ = ProcessPowerSnapshot::preview(services_.clock.now());
  } else {
    processPower_ = ProcessPowerSnapshot();
    processPower_.phase =
        shouldSampleDetails() ? ProcessPowerSnapshot::Phase::sampling : ProcessPowerSnapshot::Phase::idle;
  }
  changed(Field::processPower);
  if (shouldSampleDetails()) {
    std::weak_ptr<int> weak = alive_;
    detailTimer_ = services_.scheduler.repeating(2.0, 0.1, [this, weak] {
      if (weak.lock()) refreshDetails();
    });
    refreshDetails();
  }
}

void PowerMonitor::refreshDetails() {
  if (stopped_ || sleeping_ || !panelVisible_ || !detailsExpanded_ || demoMode_ || detailTask_) return;
  long generation = detailGeneration_;
  std::weak_ptr<int> weak = alive_;
  detailTask_ = track(services_.scheduler.background(
      services_.processSource, [this, weak, generation](ProcessEnergyBatch batch) {
        if (!weak.lock() || stopped_) return;
        detailTask_.reset();
        if (!shouldSampleDetails()) return;
        if (detailGeneration_ != generation) {
          refreshDetails();
          return;
        }
        processPower_ = ProcessPowerPolicy::sample(processBaseline_ ? &*processBaseline_ : nullptr, batch);
        changed(Field::processPower);
        if (batch.available)
          processBaseline_ = std::move(batch);
        else
          processBaseline_.reset();
        ++detailSampleCount_;
        changed(Field::detailSampleCount);
        notifyUpdate();
      }));
}

void PowerMonitor::persist(const PowerSnapshot& snapshot, double uptime) {
  onBattery_ = snapshot.batteryInstalled && snapshot.externalKnown() && !snapshot.externalConnected;
  // A reading that arrives while the previous write runs is skipped, not queued.
  if (demoMode_ || !historyStore_ || historyTask_) return;
  HistoryRecord record(snapshot);
  historyTask_ = true;
  std::weak_ptr<int> weak = alive_;
  historyStore_->record(std::move(record), uptime, services_.clock.now(),
                        [this, weak](std::optional<HistoryError> error) {
                          if (weak.lock()) finishHistoryTask(error);
                        });
}

void PowerMonitor::startDemoPrune() {
  historyTask_ = true;
  std::weak_ptr<int> weak = alive_;
  auto now = static_cast<std::int64_t>(std::trunc(secondsSince1970(services_.clock.now())));
  historyStore_->prune(now, [this, weak](std::optional<HistoryError> error) {
    if (weak.lock()) finishHistoryTask(error);
  });
}

void PowerMonitor::finishHistoryTask(const std::optional<HistoryError>& error) {
  historyError_ = error ? std::optional<std::string>(error->description) : std::nullopt;
  changed(Field::historyError);
  historyTask_ = false;
  auto waiters = std::move(flushWaiters_);
  flushWaiters_.clear();
  for (auto& waiter : waiters) waiter();
}

void PowerMonitor::flushHistory(std::function<void()> done) {
  if (historyTask_)
    flushWaiters_.push_back(std::move(done));
  else
    done();
}

}  // namespace wattline

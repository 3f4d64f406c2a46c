// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/power_monitor.h"

#include <algorithm>

#include "power/refresh_policy.h"

namespace wattline {

PowerMonitor::PowerMonitor(PowerMonitorServices services, bool observeSystem,
                           std::shared_ptr<HistoryService> historyStore,
                           std::function<PowerSnapshot()> readSource)
    : services_(std::move(services)),
      historyStore_(std::move(historyStore)),
      readSource_(std::move(readSource)) {
  if (!historyStore_ && observeSystem && services_.defaultStore) historyStore_ = services_.defaultStore();
  if (observeSystem && historyStore_ && services_.activity)
    historyActivity_ = services_.activity->begin("Record local power history once per second");
  refreshInterval_ = RefreshPolicy::restored(services_.defaults.number(RefreshPolicy::key));
  refresh(true);
  scheduleTimer();
  reconcileLedger();
  if (observeSystem && services_.events) {
    std::weak_ptr<int> weak = alive_;
    auto guarded = [this, weak](void (PowerMonitor::*member)()) {
      return [this, weak, member] {
        if (weak.lock()) (this->*member)();
      };
    };
    subscriptions_.push_back(services_.events->onDidWake(guarded(&PowerMonitor::didWake)));
    subscriptions_.push_back(services_.events->onWillSleep(guarded(&PowerMonitor::willSleep)));
    subscriptions_.push_back(services_.events->onBecameActive([this, weak] {
      if (weak.lock()) refresh(true);
    }));
    powerSourceNotification_ = services_.events->onPowerSourceChange([this, weak] {
      if (weak.lock()) refresh(true);
    });
  }
}

PowerMonitor::~PowerMonitor() {
  if (historyActivity_ && services_.activity) services_.activity->end(*historyActivity_);
  // A read that has not started never will; one that is running may still use the reader and the clock,
  // but a hardware file that never answers must not hold up the quit for more than a second.
  const auto deadline = std::chrono::steady_clock::now() + kReadWaitAtDestruction;
  for (const auto& work : backgroundWork_) work->abandon(deadline);
}

CancelTokenPtr PowerMonitor::track(CancelTokenPtr work) {
  std::erase_if(backgroundWork_, [](const CancelTokenPtr& token) { return token->isSettled(); });
  backgroundWork_.push_back(work);
  return work;
}

int PowerMonitor::observe(std::function<void(Field)> observer) {
  observers_.emplace_back(nextObserver_, std::move(observer));
  return nextObserver_++;
}

void PowerMonitor::removeObserver(int id) {
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void PowerMonitor::changed(Field field) {
  auto observers = observers_;
  for (const auto& [id, observer] : observers) observer(field);
}

void PowerMonitor::notifyUpdate() {
  if (didUpdate) didUpdate();
}

void PowerMonitor::setHistory(std::vector<PowerSample> history) {
  history_ = std::move(history);
  changed(Field::history);
}

void PowerMonitor::scheduleTimer() {
  std::weak_ptr<int> weak = alive_;
  historyTimer_.reset();
  if (refreshInterval_ > 1.0 && historyStore_)
    historyTimer_ = services_.scheduler.repeating(1.0, 0.02, [this, weak] {
      if (weak.lock()) refresh(false);
    });
  timer_.reset();
  timer_ =
      services_.scheduler.repeating(refreshInterval_, std::min(0.05 * refreshInterval_, 0.1), [this, weak] {
        if (weak.lock()) refresh(true);
      });
}

void PowerMonitor::refresh(bool updateDisplay) {
  if (stopped_ || sleeping_) return;
  if (demoMode_) {
    if (historyStore_ && !historyTask_) startDemoPrune();
    if (updateDisplay) apply(PowerSnapshot::demo(*demoMode_, services_.clock.now()));
    return;
  }
  if (readTask_) {
    // Requests made during a read collapse into one follow-up read.
    readPending_ = true;
    pendingDisplay_ = pendingDisplay_ || updateDisplay;
    return;
  }
  long generation = generation_;
  bool includeDetails = shouldSampleDetails();
  std::weak_ptr<int> weak = alive_;
  // The uptime is taken next to the reading, so a busy main thread does not
  // make the wall and monotonic clocks of two readings disagree.
  auto read = [source = readSource_, live = services_.liveRead, includeDetails, &clock = services_.clock] {
    PowerSnapshot snapshot = source ? source() : live(includeDetails);
    return std::make_pair(std::move(snapshot), clock.uptime());
  };
  readTask_ = track(services_.scheduler.background(
      read, [this, weak, generation, updateDisplay](std::pair<PowerSnapshot, double> reading) {
        if (!weak.lock() || stopped_ || generation_ != generation) return;
        readTask_.reset();
        const PowerSnapshot& result = reading.first;
        persist(result, reading.second);
        bool followUpDisplay = false;
        if (updateDisplay || pendingDisplay_) {
          apply(result);
          followUpDisplay = pendingDisplay_;
        }
        pendingDisplay_ = false;
        if (readPending_) {
          readPending_ = false;
          refresh(followUpDisplay);
        }
      }));
}

void PowerMonitor::apply(const PowerSnapshot& snapshot) {
  snapshot_ = snapshot;
  changed(Field::snapshot);
  ++sampleCount_;
  changed(Field::sampleCount);
  history_ = PowerHistory::appending(history_, snapshot, demoMode_.has_value(), services_.clock.now());
  changed(Field::history);
  notifyUpdate();
}

void PowerMonitor::willSleep() {
  sleeping_ = true;
  reconcileDetails();
  ++generation_;
  if (readTask_) readTask_->cancel();
  readTask_.reset();
  readPending_ = false;
  pendingDisplay_ = false;
  if (historyStore_) historyStore_->breakContinuity();
  reconcileLedger();
}

void PowerMonitor::didWake() {
  sleeping_ = false;
  if (historyStore_) historyStore_->breakContinuity();
  history_.clear();
  changed(Field::history);
  reconcileDetails();
  reconcileLedger();
  scheduleTimer();
  refresh(true);
}

bool PowerMonitor::setRefreshInterval(double seconds) {
  if (stopped_ || !RefreshPolicy::isValid(seconds)) return false;
  if (seconds != refreshInterval_) {
    refreshInterval_ = seconds;
    changed(Field::refreshInterval);
    services_.defaults.setDouble(RefreshPolicy::key, seconds);
    scheduleTimer();
    refresh(true);
  }
  return true;
}

void PowerMonitor::selectDemo(std::optional<int> index) {
  ++generation_;
  if (readTask_) readTask_->cancel();
  readTask_.reset();
  readPending_ = false;
  if (historyStore_) historyStore_->breakContinuity();
  demoMode_ = index;
  changed(Field::demoMode);
  reconcileDetails();
  reconcileLedger();
  history_.clear();
  changed(Field::history);
  refresh(true);
}

void PowerMonitor::setPanelVisible(bool visible) {
  if (visible == panelVisible_) return;
  panelVisible_ = visible;
  changed(Field::panelVisible);
  reconcileDetails();
  if (visible) refresh(true);
}

void PowerMonitor::stop() {
  if (stopped_) return;
  stopped_ = true;
  if (historyActivity_ && services_.activity) services_.activity->end(*historyActivity_);
  historyActivity_.reset();
  historyTimer_.reset();
  ++generation_;
  ++detailGeneration_;
  detailTimer_.reset();
  if (detailTask_) detailTask_->cancel();
  detailTask_.reset();
  processBaseline_.reset();
  processPower_ = ProcessPowerSnapshot();
  changed(Field::processPower);
  reconcileLedger();
  timer_.reset();
  if (readTask_) readTask_->cancel();
  readTask_.reset();
  readPending_ = false;
  powerSourceNotification_.reset();
  subscriptions_.clear();
}

}  // namespace wattline

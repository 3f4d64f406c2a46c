// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_explorer_model.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace wattline {

namespace {

std::function<Date()> orSystemClock(std::function<Date()> currentDate) {
  if (currentDate) return currentDate;
  return [] { return std::chrono::system_clock::now(); };
}

std::function<std::int64_t()> orSystemSeconds(std::function<std::int64_t()> clock) {
  if (clock) return clock;
  return [] { return unixSecond(std::chrono::system_clock::now()); };
}

HistoryExplorerModel::SummaryLoader summaryFrom(HistoryService* store, std::function<Date()> currentDate) {
  return [store, currentDate](std::int64_t from, std::int64_t through, int maxBuckets,
                              HistoryExplorerModel::SummaryDone done) {
    if (!store) {
      done(HistoryError{"History", 1, "当前未启用历史存储"});
      return;
    }
    store->summary(from, through, currentDate(), maxBuckets, std::move(done));
  };
}

HistoryExplorerModel::OverviewLoader overviewFrom(HistoryService* store, std::function<Date()> currentDate) {
  return [store, currentDate](std::int64_t from, std::int64_t through, std::int64_t width,
                              HistoryExplorerModel::SummaryDone done) {
    if (!store) {
      done(HistoryError{"History", 1, "当前未启用历史存储"});
      return;
    }
    store->buckets(from, through, currentDate(), width, std::move(done));
  };
}

// `kept`'s buckets before `from` that reach into the week from `start`, then `fresh`'s, which begin at
// `from`; the valid count and the peak follow the buckets.
HistorySummary joined(const HistorySummary& kept, HistorySummary fresh, std::int64_t from, std::int64_t start,
                      std::int64_t end) {
  constexpr std::int64_t width = HistoryExplorerModel::overviewWidth;
  HistorySummary result;
  result.bucketWidth = width;
  result.lower = start - start % width;
  result.upper = end;
  for (const HistoryBucket& bucket : kept.buckets)
    if (bucket.second < from && bucket.second + width > start) result.buckets.push_back(bucket);
  for (HistoryBucket& bucket : fresh.buckets) result.buckets.push_back(std::move(bucket));
  for (const HistoryBucket& bucket : result.buckets) {
    result.valid += bucket.valid;
    result.peak = std::max(result.peak, bucket.maximum.value_or(0));
  }
  return result;
}

HistoryExplorerModel::SecondsLoader secondsFrom(HistoryService* store, std::function<Date()> currentDate) {
  return [store, currentDate](std::int64_t around, HistoryExplorerModel::SecondsDone done) {
    if (!store) {
      done(std::vector<HistorySecond>{});
      return;
    }
    store->seconds(around, currentDate(), std::move(done));
  };
}

}  // namespace

void HistoryExplorerModel::Task::cancel() const {
  token->cancel();
  if (wait) wait->cancel();
}

HistoryExplorerModel::HistoryExplorerModel(Scheduler& scheduler, std::optional<std::int64_t> now,
                                           std::function<std::int64_t()> clock, SummaryLoader summary,
                                           OverviewLoader overview, SecondsLoader seconds)
    : scheduler_(scheduler),
      clock_(orSystemSeconds(std::move(clock))),
      loadSummary_(std::move(summary)),
      loadOverview_(std::move(overview)),
      loadSeconds_(std::move(seconds)),
      navigation_(now ? *now : clock_()),
      overviewEnd_(navigation_.latest) {}

HistoryExplorerModel::HistoryExplorerModel(Scheduler& scheduler, HistoryService* store,
                                           std::function<Date()> currentDate)
    : HistoryExplorerModel(
          scheduler, std::nullopt,
          [currentDate = orSystemClock(currentDate)] { return unixSecond(currentDate()); },
          summaryFrom(store, orSystemClock(currentDate)), overviewFrom(store, orSystemClock(currentDate)),
          secondsFrom(store, orSystemClock(currentDate))) {
  if (!store) return;
  const std::function<Date()> date = orSystemClock(currentDate);
  setAppLoaders(
      [store, date](std::int64_t from, std::int64_t through, bool onBatteryOnly, RankingDone done) {
        store->appRanking(from, through, onBatteryOnly, date(), std::move(done));
      },
      [store, date](const std::string& app, std::int64_t from, std::int64_t through, AppPowerDone done) {
        store->appPower(app, from, through, date(), std::move(done));
      });
}

HistoryExplorerModel::~HistoryExplorerModel() {
  for (TaskPtr* task : {&summaryTask_, &detailTask_, &overviewTask_, &liveTask_}) cancel(*task);
}

std::optional<HistorySecond> HistoryExplorerModel::selectedRow() const {
  auto row = std::find_if(rows_.begin(), rows_.end(),
                          [this](const HistorySecond& r) { return r.second == navigation_.selected; });
  if (row == rows_.end()) return std::nullopt;
  return *row;
}

double HistoryExplorerModel::coverage() const {
  return std::min(static_cast<double>(summary_.valid) / static_cast<double>(navigation_.span), 1.0);
}

int HistoryExplorerModel::subscribe(Observer observer) {
  int id = nextObserver_++;
  observers_.emplace(id, std::move(observer));
  return id;
}

void HistoryExplorerModel::unsubscribe(int id) {
  observers_.erase(id);
}

void HistoryExplorerModel::setVisible(bool visible) {
  if (visible == active_) return;
  if (visible) {
    active_ = true;
    reload();
    startLiveLoop();
    return;
  }
  active_ = false;
  cancel(liveTask_);
  liveTask_.reset();
  cancel(summaryTask_);
  cancel(detailTask_);
  cancel(overviewTask_);
  ++summaryRevision_;
  ++detailRevision_;
  ++overviewRevision_;
  setLoading(false);
  setLocating(false);
}

void HistoryExplorerModel::reload() {
  HistoryNavigation next = navigation_;
  next.refresh(clock_());
  setNavigation(next);
  requestSummary(false);
  requestSeconds(false);
  requestOverview();
}

void HistoryExplorerModel::recorded() {
  if (active_ && navigation_.followsLatest) requestSeconds(false, true);
}

void HistoryExplorerModel::chooseSpan(std::int64_t span) {
  act([&](HistoryNavigation& n) { n.chooseSpan(span, clock_()); }, false);
}

void HistoryExplorerModel::zoom(double factor) {
  act([&](HistoryNavigation& n) { n.zoom(factor, clock_()); }, false);
}

void HistoryExplorerModel::pan(std::int64_t delta) {
  act([&](HistoryNavigation& n) { n.pan(delta); }, false);
}

void HistoryExplorerModel::center(std::int64_t on) {
  act([&](HistoryNavigation& n) { n.center(on); }, false);
}

void HistoryExplorerModel::seek(std::int64_t second) {
  act([&](HistoryNavigation& n) { n.seek(second); }, false);
}

void HistoryExplorerModel::step(std::int64_t delta) {
  act([&](HistoryNavigation& n) { n.step(delta); }, false);
}

void HistoryExplorerModel::latest() {
  act([&](HistoryNavigation& n) { n.returnToLatest(clock_()); }, true);
}

void HistoryExplorerModel::select(std::int64_t second) {
  std::int64_t clamped = std::min(std::max(second, navigation_.start()), navigation_.end);
  if (clamped == navigation_.selected && !navigation_.followsLatest) return;
  HistoryNavigation next = navigation_;
  next.select(clamped);
  setNavigation(next);
  requestSeconds(true);
}

void HistoryExplorerModel::act(const std::function<void(HistoryNavigation&)>& operation,
                               bool requestsOverview) {
  const HistoryNavigation old = navigation_;
  HistoryNavigation next = navigation_;
  next.refresh(clock_());
  operation(next);
  setNavigation(next);
  if (next.start() != old.start() || next.end != old.end) {
    // An old chart must not be drawn against the new axes while the new one loads.
    setSummary(HistorySummary{});
    requestSummary(true);
  }
  if (next.selected != old.selected) requestSeconds(true);
  if (requestsOverview) requestOverview();
}

void HistoryExplorerModel::requestSummary(bool debounced) {
  const std::uint64_t revision = ++summaryRevision_;
  cancel(summaryTask_);
  setLoading(true);
  setError(std::nullopt);
  const std::int64_t from = navigation_.start();
  const std::int64_t through = navigation_.end;
  TaskPtr task = summaryTask_ = std::make_shared<Task>();
  after(task, debounced ? summaryDebounce : 0, [this, task, revision, from, through] {
    std::weak_ptr<char> alive = lifetime_;
    loadSummary_(from, through, summaryBuckets,
                 [this, alive, task, revision, from, through](HistoryResult<HistorySummary> result) {
                   if (alive.expired() || task->token->isCancelled() || summaryRevision_ != revision) return;
                   if (!result.ok()) {
                     setError(result.error().description);
                     setLoading(false);
                     return;
                   }
                   // The window may have moved without a newer request having gone out yet.
                   if (navigation_.start() != from || navigation_.end != through) return;
                   setSummary(std::move(result.value()));
                   setLoading(false);
                 });
    // After the chart's summary, which the store answers first.
    requestApps();
  });
}

void HistoryExplorerModel::requestSeconds(bool debounced, bool quiet) {
  const std::uint64_t revision = ++detailRevision_;
  cancel(detailTask_);
  if (!quiet) {
    setLocating(true);
    setDetailError(std::nullopt);
  }
  const std::int64_t around = navigation_.selected;
  TaskPtr task = detailTask_ = std::make_shared<Task>();
  after(task, debounced ? secondsDebounce : 0, [this, task, revision, around] {
    std::weak_ptr<char> alive = lifetime_;
    loadSeconds_(around,
                 [this, alive, task, revision, around](HistoryResult<std::vector<HistorySecond>> result) {
                   if (alive.expired() || task->token->isCancelled() || detailRevision_ != revision) return;
                   if (!result.ok()) {
                     setRows({});
                     setDetailError(result.error().description);
                     setLocating(false);
                     return;
                   }
                   if (navigation_.selected != around) return;
                   setRows(std::move(result.value()));
                   followRecorded();
                   setLocating(false);
                 });
  });
}

void HistoryExplorerModel::followRecorded() {
  if (!navigation_.followsLatest) return;
  std::optional<std::int64_t> newest;
  for (const HistorySecond& row : rows_)
    if (row.second >= navigation_.start() && row.second <= navigation_.end &&
        (!newest || row.second > *newest))
      newest = row.second;
  if (!newest || *newest == navigation_.selected) return;
  HistoryNavigation next = navigation_;
  next.follow(*newest);
  setNavigation(next);
}

void HistoryExplorerModel::requestOverview() {
  const std::uint64_t revision = ++overviewRevision_;
  cancel(overviewTask_);
  const std::int64_t end = clock_();
  const std::int64_t start = end - kHistoryRetention + 1;
  // What is kept serves while it reaches into the week and not past now: only its last buckets are
  // read again, with what is new.
  const std::int64_t kept = overviewEnd_ - overviewSettle;
  const bool extend = !overview_.buckets.empty() && kept >= start && overviewEnd_ <= end;
  const std::int64_t from = extend ? kept - kept % overviewWidth : start;
  TaskPtr task = overviewTask_ = std::make_shared<Task>();
  after(task, 0, [this, task, revision, extend, from, start, end] {
    std::weak_ptr<char> alive = lifetime_;
    loadOverview_(
        from, end, overviewWidth,
        [this, alive, task, revision, extend, from, start, end](HistoryResult<HistorySummary> result) {
          if (alive.expired() || task->token->isCancelled() || overviewRevision_ != revision) return;
          if (!result.ok()) {
            // Shared with the chart; the chart's `loading` is not the overview's to end.
            setError(result.error().description);
            return;
          }
          HistorySummary week =
              joined(extend ? overview_ : HistorySummary{}, std::move(result.value()), from, start, end);
          setOverviewEnd(end);
          setOverview(std::move(week));
        });
  });
}

void HistoryExplorerModel::setAppLoaders(RankingLoader ranking, AppPowerLoader power) {
  loadRanking_ = std::move(ranking);
  loadAppPower_ = std::move(power);
}

void HistoryExplorerModel::setBatteryOnly(bool batteryOnly) {
  if (batteryOnly == batteryOnly_) return;
  batteryOnly_ = batteryOnly;
  requestApps();
}

void HistoryExplorerModel::selectApp(std::optional<std::string> app) {
  if (app == selectedApp_) app.reset();
  selectedApp_ = std::move(app);
  appPower_.clear();
  publish(Field::appPower);
  requestApps();
}

void HistoryExplorerModel::requestApps() {
  if (!loadRanking_ || !active_) return;
  const std::uint64_t revision = ++appsRevision_;
  const std::int64_t from = navigation_.start();
  const std::int64_t through = navigation_.end;
  std::weak_ptr<char> alive = lifetime_;
  // Answers to an older window, switch or app are dropped.
  loadRanking_(from, through, batteryOnly_, [this, alive, revision](HistoryResult<AppEnergyRanking> result) {
    if (alive.expired() || appsRevision_ != revision) return;
    if (!result.ok()) setError(result.error().description);
    apps_ = result.ok() ? std::move(result.value()) : AppEnergyRanking{};
    publish(Field::apps);
  });
  if (!selectedApp_ || !loadAppPower_) return;
  loadAppPower_(*selectedApp_, from, through,
                [this, alive, revision](HistoryResult<std::vector<AppPowerPoint>> result) {
                  if (alive.expired() || appsRevision_ != revision) return;
                  appPower_ = result.ok() ? std::move(result.value()) : std::vector<AppPowerPoint>{};
                  publish(Field::appPower);
                });
}

void HistoryExplorerModel::startLiveLoop() {
  cancel(liveTask_);
  liveTask_ = std::make_shared<Task>();
  scheduleLiveTick(liveTask_);
}

void HistoryExplorerModel::scheduleLiveTick(const TaskPtr& task) {
  after(task, liveInterval, [this, task] { liveTick(task); });
}

void HistoryExplorerModel::liveTick(const TaskPtr& task) {
  if (!active_) return;
  if (navigation_.followsLatest) {
    const int tick = task->ticks + 1;
    HistoryNavigation next = navigation_;
    next.refresh(clock_());
    setNavigation(next);
    requestSummary(false);
    requestSeconds(false);
    if (tick % overviewEveryTicks == 0) requestOverview();
    if (!task->token->isCancelled()) task->ticks = tick;
  }
  if (!task->token->isCancelled()) scheduleLiveTick(task);
}

void HistoryExplorerModel::after(const TaskPtr& task, double delay, std::function<void()> body) {
  std::weak_ptr<char> alive = lifetime_;
  task->wait = scheduler_.postAfter(delay, [alive, task, body = std::move(body)] {
    if (alive.expired() || task->token->isCancelled()) return;
    body();
  });
}

void HistoryExplorerModel::cancel(TaskPtr& task) {
  if (task) task->cancel();
}

void HistoryExplorerModel::setNavigation(const HistoryNavigation& value) {
  navigation_ = value;
  publish(Field::navigation);
}

void HistoryExplorerModel::setSummary(HistorySummary value) {
  summary_ = std::move(value);
  publish(Field::summary);
}

void HistoryExplorerModel::setOverview(HistorySummary value) {
  overview_ = std::move(value);
  publish(Field::overview);
}

void HistoryExplorerModel::setOverviewEnd(std::int64_t value) {
  overviewEnd_ = value;
  publish(Field::overviewEnd);
}

void HistoryExplorerModel::setRows(std::vector<HistorySecond> value) {
  rows_ = std::move(value);
  publish(Field::rows);
}

void HistoryExplorerModel::setLoading(bool value) {
  loading_ = value;
  publish(Field::loading);
}

void HistoryExplorerModel::setLocating(bool value) {
  locating_ = value;
  publish(Field::locating);
}

void HistoryExplorerModel::setError(std::optional<std::string> value) {
  error_ = std::move(value);
  publish(Field::error);
}

void HistoryExplorerModel::setDetailError(std::optional<std::string> value) {
  detailError_ = std::move(value);
  publish(Field::detailError);
}

void HistoryExplorerModel::publish(Field field) {
  std::vector<Observer> current;
  current.reserve(observers_.size());
  for (const auto& [id, observer] : observers_) current.push_back(observer);
  for (const auto& observer : current) observer(field);
}

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/date.h"
#include "history/history_navigation.h"
#include "history/history_service.h"
#include "history/history_types.h"
#include "platform/scheduler.h"

namespace wattline {

// The observable state behind the history window. Every navigation change turns into loads from the
// store: the chart summary of the visible window, the per-second rows around the cursor and the
// seven-day overview. Each load has its own task and revision, and an answer is applied only while it
// still matches what is on screen. While visible and following, the window moves every five seconds and
// the cursor sits on the newest recorded second in it (the current one is written a moment later).
// Lives on the main thread; the loads answer there too.
class HistoryExplorerModel {
 public:
  using SummaryDone = std::function<void(HistoryResult<HistorySummary>)>;
  using SecondsDone = std::function<void(HistoryResult<std::vector<HistorySecond>>)>;
  // Asynchronous sources: each answers exactly once, later, on the main thread.
  using SummaryLoader =
      std::function<void(std::int64_t from, std::int64_t through, int maxBuckets, SummaryDone)>;
  using SecondsLoader = std::function<void(std::int64_t around, SecondsDone)>;
  using RankingDone = std::function<void(HistoryResult<AppEnergyRanking>)>;
  using RankingLoader =
      std::function<void(std::int64_t from, std::int64_t through, bool onBatteryOnly, RankingDone)>;
  using AppPowerDone = std::function<void(HistoryResult<std::vector<AppPowerPoint>>)>;
  using AppPowerLoader =
      std::function<void(const std::string& app, std::int64_t from, std::int64_t through, AppPowerDone)>;
  // Buckets of `width` seconds on whole multiples of `width`.
  using OverviewLoader =
      std::function<void(std::int64_t from, std::int64_t through, std::int64_t width, SummaryDone)>;

  // The published fields, named to observers on each assignment.
  enum class Field {
    navigation,
    summary,
    overview,
    overviewEnd,
    rows,
    loading,
    locating,
    error,
    detailError,
    apps,
    appPower
  };
  using Observer = std::function<void(Field)>;

  static constexpr int summaryBuckets = 600;
  static constexpr std::int64_t overviewWidth = kHistoryBucketWidth;
  // A second's row is written after the second; an overview refresh reads again from the bucket that
  // holds the second this long before the last one it read.
  static constexpr std::int64_t overviewSettle = 60;
  static constexpr double summaryDebounce = 0.140;
  static constexpr double secondsDebounce = 0.090;
  static constexpr double liveInterval = 5;
  static constexpr int overviewEveryTicks = 6;

  // `now` absent: the clock's current second; `clock` empty: the system's current Unix second.
  HistoryExplorerModel(Scheduler& scheduler, std::optional<std::int64_t> now,
                       std::function<std::int64_t()> clock, SummaryLoader summary, OverviewLoader overview,
                       SecondsLoader seconds);
  // Reads `store`, which may be null when history is off: chart and overview loads then fail with
  // "当前未启用历史存储" and the rows stay empty. `currentDate` is the wall clock (system time by default).
  HistoryExplorerModel(Scheduler& scheduler, HistoryService* store, std::function<Date()> currentDate = {});
  ~HistoryExplorerModel();
  HistoryExplorerModel(const HistoryExplorerModel&) = delete;
  HistoryExplorerModel& operator=(const HistoryExplorerModel&) = delete;

  const HistoryNavigation& navigation() const { return navigation_; }
  const HistorySummary& summary() const { return summary_; }
  // The week in buckets of overviewWidth on its multiples; kept between refreshes, which read only the
  // last buckets again. Its energy totals are not kept.
  const HistorySummary& overview() const { return overview_; }
  std::int64_t overviewEnd() const { return overviewEnd_; }
  std::int64_t overviewStart() const { return overviewEnd_ - kHistoryRetention + 1; }
  const std::vector<HistorySecond>& rows() const { return rows_; }
  bool loading() const { return loading_; }
  bool locating() const { return locating_; }
  const std::optional<std::string>& error() const { return error_; }
  const std::optional<std::string>& detailError() const { return detailError_; }
  bool active() const { return active_; }
  // The apps' energy in the visible window, on battery alone when `batteryOnly`.
  const AppEnergyRanking& apps() const { return apps_; }
  bool batteryOnly() const { return batteryOnly_; }
  // The app whose power the chart draws, and that power per minute of the window.
  const std::optional<std::string>& selectedApp() const { return selectedApp_; }
  const std::vector<AppPowerPoint>& appPower() const { return appPower_; }

  // Without these loaders the apps are not read (the ranking stays empty).
  void setAppLoaders(RankingLoader ranking, AppPowerLoader power);
  void setBatteryOnly(bool batteryOnly);
  // Absent, or the app chosen again: no app is drawn.
  void selectApp(std::optional<std::string> app);

  // The row of the cursor's second, when loaded.
  std::optional<HistorySecond> selectedRow() const;
  // Share of the window's seconds that carry a power value, at most 1.
  double coverage() const;

  // Returns an id for `unsubscribe`.
  int subscribe(Observer observer);
  void unsubscribe(int id);

  void setVisible(bool visible);
  void reload();
  // The store has written a second: while visible and following, the rows around the cursor are read
  // again, without showing a load, so that the cursor moves on to it.
  void recorded();

  void chooseSpan(std::int64_t span);
  void zoom(double factor);
  void pan(std::int64_t delta);
  void center(std::int64_t on);
  void seek(std::int64_t second);
  void step(std::int64_t delta);
  void latest();
  void select(std::int64_t second);

 private:
  // A running load or loop: cancelling it ends its waits and voids its answer.
  struct Task {
    CancelTokenPtr token = std::make_shared<CancelToken>();
    CancelTokenPtr wait;
    int ticks = 0;
    void cancel() const;
  };
  using TaskPtr = std::shared_ptr<Task>;

  void act(const std::function<void(HistoryNavigation&)>& operation, bool requestsOverview);
  void requestSummary(bool debounced);
  // `quiet`: the rows shown stay without `locating` while they are read again.
  void requestSeconds(bool debounced, bool quiet = false);
  // While following, moves the cursor to the newest of `rows_` in the window.
  void followRecorded();
  void requestOverview();
  // The ranking and the selected app's power for the visible window.
  void requestApps();
  void startLiveLoop();
  void scheduleLiveTick(const TaskPtr& task);
  void liveTick(const TaskPtr& task);
  // Runs `body` on the main thread after `delay` unless the task is cancelled or the model gone.
  void after(const TaskPtr& task, double delay, std::function<void()> body);
  static void cancel(TaskPtr& task);

  void setNavigation(const HistoryNavigation& value);
  void setSummary(HistorySummary value);
  void setOverview(HistorySummary value);
  void setOverviewEnd(std::int64_t value);
  void setRows(std::vector<HistorySecond> value);
  void setLoading(bool value);
  void setLocating(bool value);
  void setError(std::optional<std::string> value);
  void setDetailError(std::optional<std::string> value);
  void publish(Field field);

  Scheduler& scheduler_;
  std::function<std::int64_t()> clock_;
  SummaryLoader loadSummary_;
  OverviewLoader loadOverview_;
  SecondsLoader loadSeconds_;
  // Tasks hold this weakly: once the model is gone, their answers end without effect.
  std::shared_ptr<char> lifetime_ = std::make_shared<char>();

  HistoryNavigation navigation_;
  HistorySummary summary_;
  HistorySummary overview_;
  std::int64_t overviewEnd_;
  std::vector<HistorySecond> rows_;
  bool loading_ = false;
  bool locating_ = false;
  std::optional<std::string> error_;
  std::optional<std::string> detailError_;
  RankingLoader loadRanking_;
  AppPowerLoader loadAppPower_;
  AppEnergyRanking apps_;
  bool batteryOnly_ = false;
  std::optional<std::string> selectedApp_;
  std::vector<AppPowerPoint> appPower_;
  std::uint64_t appsRevision_ = 0;

  TaskPtr summaryTask_, detailTask_, overviewTask_, liveTask_;
  std::uint64_t summaryRevision_ = 0, detailRevision_ = 0, overviewRevision_ = 0;
  bool active_ = false;

  std::map<int, Observer> observers_;
  int nextObserver_ = 0;
};

}  // namespace wattline

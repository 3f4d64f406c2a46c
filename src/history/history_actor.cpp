// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_actor.h"

#include <exception>

namespace wattline {

std::optional<HistoryError> captureHistoryError(const std::function<void()>& work) {
  try {
    work();
    return std::nullopt;
  } catch (const HistoryFailure& failure) {
    return failure.error();
  } catch (const std::filesystem::filesystem_error& error) {
    // The file system's own error, as the platform reports it.
    return HistoryError{"POSIX", error.code().value(), error.what()};
  } catch (const std::exception& error) {
    return HistoryError{"Wattline.History", 1, error.what()};
  }
}

HistoryActor::HistoryActor(std::filesystem::path url, Scheduler& scheduler, HistoryStoreOptions options)
    : scheduler_(scheduler), store_(std::move(url), std::move(options)), thread_([this] { run(); }) {}

HistoryActor::~HistoryActor() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void HistoryActor::enqueue(std::function<void(HistoryStore&)> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void HistoryActor::run() {
  for (;;) {
    std::function<void(HistoryStore&)> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job(store_);
  }
}

void HistoryActor::record(HistoryRecord record, double uptime, Date now, Done done) {
  enqueue(
      [this, record = std::move(record), uptime, now, done = std::move(done)](HistoryStore& store) mutable {
        std::optional<HistoryError> error = captureHistoryError([&] { store.record(record, uptime, now); });
        if (done) scheduler_.post([done = std::move(done), error = std::move(error)] { done(error); });
      });
}

void HistoryActor::prune(std::int64_t now, Done done) {
  enqueue([this, now, done = std::move(done)](HistoryStore& store) mutable {
    std::optional<HistoryError> error = captureHistoryError([&] { store.prune(now); });
    if (done) scheduler_.post([done = std::move(done), error = std::move(error)] { done(error); });
  });
}

void HistoryActor::breakContinuity() {
  enqueue([](HistoryStore& store) { store.breakContinuity(); });
}

void HistoryActor::summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets,
                           std::function<void(HistoryResult<HistorySummary>)> done) {
  fold([=](HistoryStore& store) { return store.summary(from, through, now, maxBuckets); }, std::move(done));
}

void HistoryActor::buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width,
                           std::function<void(HistoryResult<HistorySummary>)> done) {
  fold([=](HistoryStore& store) { return store.buckets(from, through, now, width); }, std::move(done));
}

void HistoryActor::fold(std::function<HistorySummary(HistoryStore&)> read,
                        std::function<void(HistoryResult<HistorySummary>)> done) {
  enqueue([this, read = std::move(read), done = std::move(done)](HistoryStore& store) mutable {
    HistorySummary summary;
    std::optional<HistoryError> error = captureHistoryError([&] { summary = read(store); });
    if (!done) return;
    HistoryResult<HistorySummary> result = error ? HistoryResult<HistorySummary>(std::move(*error))
                                                 : HistoryResult<HistorySummary>(std::move(summary));
    scheduler_.post([done = std::move(done), result = std::move(result)] { done(result); });
  });
}

void HistoryActor::seconds(std::int64_t around, Date now,
                           std::function<void(HistoryResult<std::vector<HistorySecond>>)> done) {
  enqueue([this, around, now, done = std::move(done)](HistoryStore& store) mutable {
    std::vector<HistorySecond> rows;
    std::optional<HistoryError> error = captureHistoryError([&] { rows = store.seconds(around, now); });
    if (!done) return;
    using Result = HistoryResult<std::vector<HistorySecond>>;
    Result result = error ? Result(std::move(*error)) : Result(std::move(rows));
    scheduler_.post([done = std::move(done), result = std::move(result)] { done(result); });
  });
}

template <class T>
void HistoryActor::ask(std::function<T(HistoryStore&)> work, std::function<void(HistoryResult<T>)> done) {
  enqueue([this, work = std::move(work), done = std::move(done)](HistoryStore& store) mutable {
    T value{};
    std::optional<HistoryError> error = captureHistoryError([&] { value = work(store); });
    if (!done) return;
    HistoryResult<T> result =
        error ? HistoryResult<T>(std::move(*error)) : HistoryResult<T>(std::move(value));
    scheduler_.post([done = std::move(done), result = std::move(result)] { done(result); });
  });
}

void HistoryActor::recordLedger(std::vector<LedgerMinute> minutes, Date now, Done done) {
  enqueue([this, minutes = std::move(minutes), now, done = std::move(done)](HistoryStore& store) mutable {
    std::optional<HistoryError> error = captureHistoryError([&] { store.recordLedger(minutes, now); });
    if (done) scheduler_.post([done = std::move(done), error = std::move(error)] { done(error); });
  });
}

void HistoryActor::appRanking(std::int64_t from, std::int64_t through, bool onBatteryOnly, Date now,
                              std::function<void(HistoryResult<AppEnergyRanking>)> done) {
  ask<AppEnergyRanking>(
      [=](HistoryStore& store) { return store.appRanking(from, through, onBatteryOnly, now); },
      std::move(done));
}

void HistoryActor::appPower(std::string app, std::int64_t from, std::int64_t through, Date now,
                            std::function<void(HistoryResult<std::vector<AppPowerPoint>>)> done) {
  ask<std::vector<AppPowerPoint>>(
      [app = std::move(app), from, through, now](HistoryStore& store) {
        return store.appPower(app, from, through, now);
      },
      std::move(done));
}

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/qt_scheduler.h"

#include <sys/resource.h>
#include <unistd.h>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/qt/log_categories.h"

namespace wattline {

namespace {

int milliseconds(double seconds) {
  double ms = std::round(seconds * 1000.0);
  if (!std::isfinite(ms) || ms < 0) return 0;
  return ms > 2'000'000'000.0 ? 2'000'000'000 : static_cast<int>(ms);
}

void reportPriorityFailure(int error) {
  static std::atomic<bool> told{false};
  if (!told.exchange(true))
    qCWarning(logPlatform) << "background reads keep normal priority:" << std::strerror(error);
}

class QtTimer : public Timer {
 public:
  explicit QtTimer(QTimer* timer) : timer_(timer) {}
  ~QtTimer() override { invalidate(); }
  void invalidate() override {
    if (timer_) {
      timer_->stop();
      timer_->deleteLater();
    }
    timer_ = nullptr;
  }
  bool isValid() const override { return timer_ != nullptr; }

 private:
  // Cleared by Qt if the scheduler, which owns the QTimer, goes first.
  QPointer<QTimer> timer_;
};

// Linux's normal scheduler ignores thread priorities (QThread::LowPriority does
// nothing) but honours a nice value per thread.
constexpr int kBackgroundNice = 10;

void lowerThreadPriority() {
  thread_local bool lowered = false;
  if (lowered) return;
  lowered = true;
  errno = 0;
  int current = getpriority(PRIO_PROCESS, gettid());
  if (current == -1 && errno != 0) return reportPriorityFailure(errno);
  // A process started nicer than that stays so.
  if (current >= kBackgroundNice) return;
  if (setpriority(PRIO_PROCESS, gettid(), kBackgroundNice) != 0) reportPriorityFailure(errno);
}

}  // namespace

QtScheduler::QtScheduler() {
  pool_.setMaxThreadCount(2);
}

QtScheduler::~QtScheduler() {
  pool_.waitForDone();
}

void QtScheduler::post(std::function<void()> job) {
  QMetaObject::invokeMethod(&context_, std::move(job), Qt::QueuedConnection);
}

CancelTokenPtr QtScheduler::postAfter(double seconds, std::function<void()> job) {
  auto token = std::make_shared<CancelToken>();
  auto start = [this, token, seconds, job = std::move(job)]() {
    QTimer::singleShot(milliseconds(seconds), Qt::PreciseTimer, &context_, [token, job]() {
      if (!token->isCancelled()) job();
    });
  };
  // A single-shot timer belongs to the thread that starts it: start it on the main thread.
  if (QThread::currentThread() == context_.thread())
    start();
  else
    post(std::move(start));
  return token;
}

std::unique_ptr<Timer> QtScheduler::repeating(double interval, double, std::function<void()> tick) {
  auto* timer = new QTimer(&context_);
  timer->setInterval(milliseconds(interval));
  // Qt's coarse timers fire up to 5 % early as well as late, and an early
  // once-a-second tick can skip a whole second of history; a tolerance only
  // allows late ticks, so every timer is precise.
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, &context_, std::move(tick));
  timer->start();
  return std::make_unique<QtTimer>(timer);
}

void QtScheduler::runInBackground(std::function<void()> work) {
  pool_.start([work = std::move(work)]() {
    lowerThreadPriority();
    work();
  });
}

bool QtScheduler::waitForBackground(std::chrono::milliseconds timeout) {
  return pool_.waitForDone(static_cast<int>(timeout.count()));
}

}  // namespace wattline

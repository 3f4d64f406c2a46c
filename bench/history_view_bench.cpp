// SPDX-License-Identifier: GPL-3.0-or-later
// The history window's drawing and responsiveness: the chart with 600 buckets and the overview strip
// with 280 painted offscreen, and on a generated week of history the time from showing the window to
// the chart and the overview painted with data, and again after closing, and from a hover to the card
// repainted with that second's row.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>

#include "platform/testing/history_week_window.h"
#include "ui/history/history_chart_geometry.h"
#include "ui/history/history_overview.h"
#include "ui/history/history_power_chart.h"

namespace wattline::bench {
namespace {

using namespace wattline::testing;

const Date kNow = dateFromSeconds(static_cast<double>(kWeekEnd) + 0.5);

QApplication& application() {
  static int argc = 1;
  static char name[] = "history_view_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: Qt's input-device statics go first at exit (see tests/qt_application.h).
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The generated week, made once per run, with the day's chart summary and the week's overview.
struct Week {
  ScratchDirectory directory;
  std::filesystem::path url = directory.path() / "history.sqlite3";
  HistorySummary day, overview;
  Week() {
    fillWeek(url);
    fillWeekLedger(url, 40);
    HistoryStore store(url);
    day = store.summary(kWeekEnd - 86399, kWeekEnd, kNow, 600);
    overview = store.buckets(kWeekStart, kWeekEnd, kNow, HistoryExplorerModel::overviewWidth);
  }
};

Week& week() {
  static Week instance;
  return instance;
}

// An explorer over the last day whose loads answer at once with the week's summaries.
struct LoadedExplorer {
  ManualScheduler scheduler;
  HistoryExplorerModel model{
      scheduler,
      kWeekEnd,
      [] { return kWeekEnd; },
      [](std::int64_t, std::int64_t, int, HistoryExplorerModel::SummaryDone done) { done(week().day); },
      [](std::int64_t, std::int64_t, std::int64_t, HistoryExplorerModel::SummaryDone done) {
        done(week().overview);
      },
      [](std::int64_t around, HistoryExplorerModel::SecondsDone done) {
        HistorySecond row;
        row.second = around;
        row.watts = 14.2;
        done(std::vector<HistorySecond>{row});
      }};
  LoadedExplorer() {
    model.chooseSpan(86400);
    model.select(kWeekEnd - 40000);
    model.setVisible(true);
    scheduler.runUntilIdle();
  }
};

// The whole chart drawn anew: the width alternates between 720 and 721 so that the kept drawing of the
// summary never serves.
void BM_ChartPaint(benchmark::State& state) {
  application();
  LoadedExplorer explorer;
  HistoryPowerChart chart(explorer.model);
  QImage image(721, 600, QImage::Format_ARGB32_Premultiplied);
  int width = 720;
  for (auto _ : state) {
    chart.resize(width, 600);
    width = width == 720 ? 721 : 720;
    image.fill(Qt::white);
    chart.render(&image);
  }
  state.counters["buckets"] = static_cast<double>(explorer.model.summary().buckets.size());
}
BENCHMARK(BM_ChartPaint)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// A repaint after the cursor moved: the summary's drawing is kept, the cursor and marker are new.
void BM_ChartRepaintAfterHover(benchmark::State& state) {
  application();
  LoadedExplorer explorer;
  HistoryPowerChart chart(explorer.model);
  chart.resize(720, 600);
  QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
  chart.render(&image);
  std::int64_t step = 1;
  for (auto _ : state) {
    explorer.model.step(step = -step);
    image.fill(Qt::white);
    chart.render(&image);
  }
}
BENCHMARK(BM_ChartRepaintAfterHover)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_OverviewStripPaint(benchmark::State& state) {
  application();
  LoadedExplorer explorer;
  HistoryOverviewStrip strip(explorer.model);
  strip.resize(688, static_cast<int>(HistoryOverviewGeometry::stripHeight));
  QImage image(strip.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    image.fill(Qt::white);
    strip.render(&image);
  }
  state.counters["buckets"] = static_cast<double>(explorer.model.overview().buckets.size());
}
BENCHMARK(BM_OverviewStripPaint)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// Notes when `widget` paints while `ready` holds.
class PaintWatch : public QObject {
 public:
  PaintWatch(QWidget* widget, std::function<bool()> ready) : ready_(std::move(ready)) {
    widget->installEventFilter(this);
  }
  bool painted = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && ready_()) painted = true;
    return false;
  }

 private:
  std::function<bool()> ready_;
};

// From showing the window until both the chart and the seven-day strip have painted with data.
void BM_ShowToChartAndOverviewWithData(benchmark::State& state) {
  application();
  for (auto _ : state) {
    HistoryWeekWindow window(week().url);
    HistoryExplorerModel& explorer = window.explorer();
    QWidget* shown = window.controller->window();
    PaintWatch chart(shown->findChild<HistoryPowerChart*>(), [&] { return explorer.summary().valid > 0; });
    PaintWatch strip(shown->findChild<HistoryOverviewStrip*>(),
                     [&] { return explorer.overview().valid > 0; });
    QElapsedTimer timer;
    timer.start();
    window.controller->coordinatedPresent(1, true, true);
    if (!window.waitFor([&] { return chart.painted && strip.painted; }))
      state.SkipWithError("no chart or overview with data");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    // Lets the rows arrive before the window goes.
    window.waitFor([&] { return !explorer.locating(); });
  }
}
BENCHMARK(BM_ShowToChartAndOverviewWithData)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Showing the window again after it was closed: the kept overview is read again only from its last
// bucket, and the strip paints with it.
void BM_ReshowToOverviewRefreshed(benchmark::State& state) {
  application();
  HistoryWeekWindow window(week().url);
  HistoryExplorerModel& explorer = window.explorer();
  std::uint64_t generation = 1;
  window.controller->coordinatedPresent(generation, true, true);
  window.waitFor([&] { return explorer.overview().valid > 0 && !explorer.locating(); });
  bool refreshed = false;
  const int subscription = explorer.subscribe([&](HistoryExplorerModel::Field field) {
    if (field == HistoryExplorerModel::Field::overview) refreshed = true;
  });
  PaintWatch strip(window.controller->window()->findChild<HistoryOverviewStrip*>(),
                   [&] { return refreshed; });
  for (auto _ : state) {
    window.controller->coordinatedSuspend(++generation);
    window.waitFor([&] { return !explorer.loading() && !explorer.locating(); });
    refreshed = strip.painted = false;
    QElapsedTimer timer;
    timer.start();
    window.controller->coordinatedPresent(++generation, true, true);
    if (!window.waitFor([&] { return strip.painted; })) state.SkipWithError("no overview painted");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    window.waitFor([&] { return !explorer.loading() && !explorer.locating(); });
  }
  explorer.unsubscribe(subscription);
}
BENCHMARK(BM_ReshowToOverviewRefreshed)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_HoverToCardWithRow(benchmark::State& state) {
  application();
  HistoryWeekWindow window(week().url);
  HistoryExplorerModel& explorer = window.explorer();
  window.controller->coordinatedPresent(1, true, true);
  explorer.chooseSpan(300);  // a second or less per point, so a small move stays among the loaded rows
  QWidget* chart = window.controller->window()->findChild<HistoryPowerChart*>();
  auto* cursor = window.controller->window()->findChild<QLabel*>("cursorLabel");
  auto settled = [&] { return !explorer.loading() && !explorer.locating() && explorer.selectedRow(); };
  const double y = chart->height() / 2.0;
  double x = chart->width() / 2.0;
  explorer.select(explorer.navigation().second(
      HistoryChartGeometry::fraction(HistoryChartGeometry::plot(chart->width(), chart->height()), x)));
  window.waitFor(settled);

  std::int64_t target = 0;
  PaintWatch watch(cursor, [&] {
    return explorer.navigation().selected == target &&
           cursor->text().endsWith(QString::fromStdString(HistoryTime::label(target)));
  });
  for (auto _ : state) {
    x += x > chart->width() / 2.0 ? -2 : 2;
    const Rect plot = HistoryChartGeometry::plot(chart->width(), chart->height());
    target = explorer.navigation().second(HistoryChartGeometry::fraction(plot, x));
    watch.painted = false;
    QElapsedTimer timer;
    timer.start();
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), chart->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(chart, &move);
    if (!window.waitFor([&] { return watch.painted; }) || !explorer.selectedRow())
      state.SkipWithError("the card did not show the row");
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    window.waitFor(settled);
  }
}
BENCHMARK(BM_HoverToCardWithRow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace wattline::bench

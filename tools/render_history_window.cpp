// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the history window on a generated week of history into a PNG, as the README shows it.
//
//   render_history_window OUTPUT.png      (on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdio>

#include "platform/testing/history_week_window.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  using namespace wattline;
  using namespace wattline::testing;
  ScratchDirectory directory;
  const auto url = directory.path() / "history.sqlite3";
  fillWeek(url);
  fillWeekLedger(url, 40);

  HistoryWeekWindow week(url);
  QWidget* window = week.controller->window();
  window->resize(720, 840);
  week.controller->coordinatedPresent(1, true, true);
  HistoryExplorerModel& explorer = week.explorer();
  // An hour of the last day's working hours, the cursor on a second with a reading.
  explorer.seek(kWeekEnd - 20 * 3600 + 1234);
  explorer.selectApp("desktop:app0");
  const bool ready = week.waitFor([&] {
    return !explorer.loading() && !explorer.locating() && explorer.selectedRow() &&
           explorer.overview().valid > 0 && !explorer.apps().apps.empty() && !explorer.appPower().empty();
  });
  if (!ready) {
    std::fprintf(stderr, "the window did not load its data\n");
    return 1;
  }
  week.waitFor([] { return false; }, 0.3);  // lets the view gather its last changes

  QImage image(window->size() * 2, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  image.fill(Qt::white);
  window->render(&image);
  if (!image.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

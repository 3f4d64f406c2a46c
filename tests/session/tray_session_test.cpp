// The program itself on a virtual X display, with trayer as its tray and a
// private session bus (so that no StatusNotifierItem watcher is found): the
// icon, the panel under it, Escape, a second start, the history window and
// an orderly quit on SIGTERM. Run by CTest under xvfb-run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "platform/fixture_copy.h"
#include "private_bus.h"

namespace {

using Json = nlohmann::json;

constexpr int kWaitMs = 15000;

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool waitFor(const std::function<bool()>& condition, int limitMs = kWaitMs) {
  for (int waited = 0; waited < limitMs; waited += 50) {
    if (condition()) return true;
    QThread::msleep(50);
  }
  return condition();
}

QString run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(5000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The mapped top-level windows of a process by their titles.
std::map<QString, QRect> windows(qint64 pid) {
  std::map<QString, QRect> found;
  for (const QString& id :
       run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)}).split('\n')) {
    if (id.isEmpty()) continue;
    std::map<QString, int> values;
    for (const QString& line : run("xdotool", {"getwindowgeometry", "--shell", id}).split('\n'))
      if (const auto parts = line.split('='); parts.size() == 2) values[parts[0]] = parts[1].toInt();
    found[run("xdotool", {"getwindowname", id}).trimmed()] =
        QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
  }
  return found;
}

Json readJson(const std::string& file) {
  std::ifstream in(file);
  return Json::parse(in, nullptr, false);
}

// Whether the trace holds `event` with `reason`.
bool traced(const std::string& file, const std::string& event, const std::string& reason) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    const Json json = Json::parse(line, nullptr, false);
    if (json.is_object() && json["event"] == event && json["reason"] == reason) return true;
  }
  return false;
}

struct Rows {
  std::int64_t count = 0, first = 0, last = 0;
  double minWatts = 0, maxWatts = 0;
};

// What the history database holds; nothing while it cannot be read.
Rows history(const std::string& file) {
  Rows rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT COUNT(*), MIN(second), MAX(second), MIN(watts), MAX(watts) FROM samples",
                         -1, &query, nullptr) == SQLITE_OK &&
      sqlite3_step(query) == SQLITE_ROW)
    rows = {sqlite3_column_int64(query, 0), sqlite3_column_int64(query, 1), sqlite3_column_int64(query, 2),
            sqlite3_column_double(query, 3), sqlite3_column_double(query, 4)};
  sqlite3_finalize(query);
  sqlite3_close(db);
  return rows;
}

struct Session {
  Session() {
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString(bus.address));
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
      environment.insert(name, home.path());
    environment.insert("WATTLINE_SYSFS_ROOT", QString::fromStdString(sysfs.path()));
    environment.insert("WATTLINE_BUNDLE_IDENTIFIER", "local.wattline.session-test");
    environment.insert("LANG", "C.UTF-8");
    tray.setProcessEnvironment(environment);
    tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
  }
  ~Session() {
    for (QProcess* process : {&program, &tray}) {
      process->kill();
      process->waitForFinished();
    }
  }
  void start(QProcess& process, const QStringList& arguments) {
    process.setProcessEnvironment(environment);
    process.start(WATTLINE_BINARY, arguments);
  }
  std::string file(const char* name) const { return home.filePath(name).toStdString(); }

  QTemporaryDir home;
  wattline::testing::FixtureCopy sysfs{"sysfs/laptop-battery"};
  PrivateBus bus;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QProcess tray, program;
};

}  // namespace

TEST(TraySession, IconPanelEscapeReopenHistoryAndAnOrderlyQuitThatKeepsEverySecond) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X display (xvfb-run)";
  int argc = 1;
  char name[] = "tray_session_test";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  Session session;
  ASSERT_TRUE(session.bus.running());
  ASSERT_TRUE(waitFor([&] {
    return !run("xdotool", {"search", "--onlyvisible", "--class", "trayer"}).isEmpty();
  }));

  const std::string trace = session.file("trace.jsonl"), probe = session.file("probe.json");
  const double started = wallSeconds();
  session.start(session.program,
                {"--history-directory", session.home.path(), "--window-trace", QString::fromStdString(trace),
                 "--ui-probe", QString::fromStdString(probe), "--history-window", "--show"});
  const qint64 pid = session.program.processId();
  auto one = [pid](const QString& title) {
    const auto found = windows(pid);
    const auto at = found.find(title);
    return at == found.end() ? std::nullopt : std::optional(at->second);
  };
  std::optional<QRect> icon, panel;
  ASSERT_TRUE(waitFor([&] { return (icon = one("wattline")).has_value(); }))
      << session.program.readAllStandardError().toStdString();
  EXPECT_LE(icon->height(), 24);  // in trayer's bar along the top
  EXPECT_TRUE(waitFor([&] { return one("功耗历史 · 最近 7 天").has_value(); }));

  // A click on the icon hangs the panel under it; the history window goes.
  run("xdotool", {"mousemove", "--sync", QString::number(icon->center().x()),
                  QString::number(icon->center().y()), "click", "1"});
  ASSERT_TRUE(waitFor([&] { return (panel = one("瓦迹")).has_value(); }));
  EXPECT_EQ(panel->top(), icon->bottom() + 1);
  EXPECT_TRUE(waitFor([&] { return !one("功耗历史 · 最近 7 天").has_value(); }));
  Json layout;
  EXPECT_TRUE(waitFor([&] {
    layout = readJson(probe);
    return layout.is_object() && layout["presentationTarget"] == "panel" && layout["menuAnchor"].is_object();
  }));
  EXPECT_EQ(layout["windowInsideSafeBounds"], true);
  const Json frame = layout["panelFrame"], anchor = layout["menuAnchor"];
  EXPECT_EQ(frame["y"].get<double>() + frame["height"].get<double>(), anchor["y"].get<double>())
      << layout.dump();

  run("xdotool", {"key", "Escape"});
  EXPECT_TRUE(waitFor([&] { return !one("瓦迹").has_value(); }));
  EXPECT_TRUE(traced(trace, "operation.begin", "panel.orderOut.target.none"));

  // A second start asks the running copy to reopen and ends.
  QProcess second;
  session.start(second, {});
  ASSERT_TRUE(second.waitForFinished(kWaitMs));
  EXPECT_EQ(std::make_pair(second.exitStatus(), second.exitCode()), std::make_pair(QProcess::NormalExit, 0));
  EXPECT_TRUE(waitFor([&] { return one("瓦迹") == panel; }));

  // A few seconds of history, then the quit a session's logout sends.
  EXPECT_TRUE(waitFor([&] { return history(session.file("history.sqlite3")).count >= 3; }));
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  ASSERT_TRUE(session.program.waitForFinished(kWaitMs));
  const double ended = wallSeconds();
  EXPECT_EQ(std::make_pair(session.program.exitStatus(), session.program.exitCode()),
            std::make_pair(QProcess::NormalExit, 0));

  // One row per second of the run, every one with the fixture's 18 W.
  const Rows rows = history(session.file("history.sqlite3"));
  EXPECT_EQ(std::make_pair(rows.minWatts, rows.maxWatts), std::make_pair(18.0, 18.0));
  const auto [count, first, last] = std::make_tuple(rows.count, rows.first, rows.last);
  EXPECT_EQ(last - first + 1, count);  // no second missing
  EXPECT_GE(first, static_cast<std::int64_t>(started));
  EXPECT_GE(last, static_cast<std::int64_t>(ended) - 1);  // the write in flight at SIGTERM was kept
  EXPECT_GE(count, static_cast<std::int64_t>(ended - started) - 1);
}

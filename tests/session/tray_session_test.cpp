// SPDX-License-Identifier: GPL-3.0-or-later
// The program on a virtual X display (CTest runs this under xvfb-run), with trayer as
// its tray or with no tray at all, and a private session bus, so that no
// StatusNotifierItem watcher is found.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "platform/fixture_copy.h"
#include "private_bus.h"

namespace {

bool waitFor(const std::function<bool()>& condition) {
  for (int waited = 0; waited < 15000 && !condition(); waited += 50) QThread::msleep(50);
  return condition();
}

QString run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(5000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// xdotool's search for the mapped windows of a process, menus included, that match `pattern`.
QStringList search(const QProcess& process, const QStringList& pattern = {""}) {
  return QStringList{"search", "--all", "--onlyvisible", "--pid", QString::number(process.processId())} +
         pattern;
}

int mapped(const QProcess& process) {
  return int(run("xdotool", search(process)).split('\n', Qt::SkipEmptyParts).size());
}

// Asks a window to close, as the close button of its title bar does.
void closeWindow(const QString& id) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const auto atom = [connection](const char* name) {
    auto* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
  };
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = id.toUInt();
  event.type = atom("WM_PROTOCOLS");
  event.data.data32[0] = atom("WM_DELETE_WINDOW");
  // Checked: the server has sent it on before the connection closes.
  std::free(xcb_request_check(connection,
                              xcb_send_event_checked(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                                                     reinterpret_cast<const char*>(&event))));
  xcb_disconnect(connection);
}

// The mapped windows of a process by title.
std::map<QString, QRect> windows(const QProcess& process) {
  const QStringList names = run("xdotool", search(process) + QStringList{"getwindowname", "%@"}).split('\n');
  std::map<QString, QRect> found;
  std::map<QString, int> values;
  for (const QString& line :
       run("xdotool", search(process) + QStringList{"getwindowgeometry", "--shell", "%@"}).split('\n')) {
    const QStringList pair = line.split('=');
    if (pair.size() == 2) values[pair[0]] = pair[1].toInt();
    if (pair[0] == "HEIGHT" && found.size() < std::size_t(names.size()))
      found[names[qsizetype(found.size())]] =
          QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
  }
  return found;
}

// (rows, first second, last second, lowest watts, highest watts) of the history database.
std::vector<double> history(const std::string& file) {
  std::vector<double> row(5, 0);
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT COUNT(*), MIN(second), MAX(second), MIN(watts), MAX(watts) FROM samples",
                         -1, &query, nullptr) == SQLITE_OK &&
      sqlite3_step(query) == SQLITE_ROW)
    for (int i = 0; i < 5; ++i) row[i] = sqlite3_column_double(query, i);
  sqlite3_finalize(query);
  sqlite3_close(db);
  return row;
}

// A home, a battery and a session bus of its own; the programs started here inherit them.
// On a failure, what the programs said and the window trace tell why.
struct Session {
  Session() {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
      qputenv(name, home.path().toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString(bus.address));
    qputenv("WATTLINE_SYSFS_ROOT", QByteArray::fromStdString(sysfs.path()));
    qputenv("WATTLINE_BUNDLE_IDENTIFIER", "local.wattline.session-test");
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("WAYLAND_DISPLAY");
  }
  ~Session() {
    for (QProcess* process : {&program, &second, &killed, &tray}) process->kill(), process->waitForFinished();
    if (!::testing::Test::HasFailure()) return;
    for (QProcess* process : {&program, &second, &killed, &tray})
      if (!process->program().isEmpty())
        std::cerr << process->program().toStdString() << ": "
                  << process->readAllStandardError().toStdString();
    std::ifstream file(trace.toStdString());
    std::cerr << "trace:\n" << std::string(std::istreambuf_iterator<char>(file), {});
  }
  std::optional<QRect> shown(const QString& title) const {
    const auto found = windows(program);
    return found.count(title) ? std::optional(found.at(title)) : std::nullopt;
  }

  QTemporaryDir home;
  wattline::testing::FixtureCopy sysfs{"sysfs/laptop-battery"};
  PrivateBus bus;
  QString trace = home.filePath("trace.jsonl");
  QProcess tray, killed, program, second;
};

}  // namespace

TEST(TraySession, IconPanelMenusEscapeReopenHistoryAndAnOrderlyQuitThatKeepsEverySecond) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X display (xvfb-run)";
  Session session;
  ASSERT_TRUE(session.bus.running());
  QProcess &tray = session.tray, &killed = session.killed, &program = session.program,
           &second = session.second;
  // A dark tray. Under load trayer now and then fails to open the display xvfb-run has just handed over:
  // start it again.
  bool trayUp = false;
  for (int attempt = 0; attempt < 5 && !trayUp; ++attempt) {
    tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                          "--transparent", "true", "--alpha", "0", "--tint", "0x202020"});
    waitFor([&] {
      trayUp = !run("xdotool", {"search", "--onlyvisible", "--class", "trayer"}).isEmpty();
      return trayUp || tray.waitForFinished(0);
    });
  }
  ASSERT_TRUE(trayUp);

  // Signals during the launch (a logout right after login) end a copy as an orderly quit would. The lock,
  // taken first in the launch, tells that it is under way.
  auto locked = [&] {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(session.home.path().toStdString()))
      if (entry.path().filename().string().starts_with("local.wattline") &&
          entry.path().extension() == ".lock")
        return true;
    return false;
  };
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    killed.start(WATTLINE_BINARY, {});
    for (QDeadlineTimer launch(15000); !locked() && !launch.hasExpired();) QThread::usleep(100);
    ::kill(static_cast<pid_t>(killed.processId()), number);
    ASSERT_TRUE(killed.waitForFinished(10000));
    EXPECT_EQ(std::make_pair(killed.exitStatus(), killed.exitCode()), std::make_pair(QProcess::NormalExit, 0))
        << number;
  }

  // A copy killed outright leaves its lock behind; the next start still runs.
  killed.start(WATTLINE_BINARY, {});
  ASSERT_TRUE(waitFor([&] { return windows(killed).count("wattline") == 1; }));
  killed.kill();
  killed.waitForFinished();

  const QString probeFile = session.home.filePath("probe.json");
  program.start(WATTLINE_BINARY, {"--history-directory", session.home.path(), "--ui-probe", probeFile,
                                  "--window-trace", session.trace, "--history-window", "--show"});
  std::optional<QRect> icon, panel;
  ASSERT_TRUE(waitFor([&] { return (icon = session.shown("wattline")).has_value(); }));
  EXPECT_TRUE(waitFor([&] { return session.shown("功耗历史 · 最近 7 天").has_value(); }));

  // The icon is drawn light on the dark tray.
  const QString shot = session.home.filePath("tray.png");
  int light = 0;
  EXPECT_TRUE(waitFor([&] {
    run("import", {"-window", "root", shot});
    const QImage image = QImage(shot).copy(*session.shown("wattline"));
    light = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) light += qGray(image.pixel(x, y)) > 160;
    return light >= 12;
  })) << light
      << " light pixels";

  // The panel hangs under the icon, where trayer has it now.
  icon = session.shown("wattline");
  run("xdotool", {"mousemove", "--sync", QString::number(icon->center().x()),
                  QString::number(icon->center().y()), "click", "1"});
  ASSERT_TRUE(waitFor([&] { return (panel = session.shown("瓦迹")).has_value(); }));
  EXPECT_EQ(panel->top(), icon->bottom() + 1);
  nlohmann::json probe;
  EXPECT_TRUE(waitFor([&] {
    probe = nlohmann::json::parse(std::ifstream(probeFile.toStdString()), nullptr, false);
    return probe.is_object() && probe["presentationTarget"] == "panel" && probe["menuAnchor"].is_object();
  }));
  for (const char* key : {"windowInsideSafeBounds", "hostingFillsContainer", "hostingOriginIsZero"})
    EXPECT_EQ(probe[key], true) << key;

  // Escape in the open settings menu closes the menu alone; the next one closes the panel.
  const int windowsShown = mapped(program);
  run("xdotool", {"mousemove", "--sync", QString::number(panel->right() - 21),
                  QString::number(panel->bottom() - 20), "click", "1"});
  ASSERT_TRUE(waitFor([&] { return mapped(program) == windowsShown + 1; })) << "the settings menu";
  run("xdotool", {"key", "Escape"});
  EXPECT_TRUE(waitFor([&] { return mapped(program) == windowsShown; }));
  QThread::msleep(300);
  EXPECT_TRUE(session.shown("瓦迹"));
  run("xdotool", {"key", "Escape"});
  EXPECT_TRUE(waitFor([&] { return !session.shown("瓦迹"); }));

  // A second start asks the running copy to reopen, and ends.
  second.start(WATTLINE_BINARY, {});
  ASSERT_TRUE(second.waitForFinished(15000));
  EXPECT_EQ(std::make_pair(second.exitStatus(), second.exitCode()), std::make_pair(QProcess::NormalExit, 0));
  EXPECT_TRUE(waitFor([&] { return (panel = session.shown("瓦迹")) && panel->top() == icon->bottom() + 1; }));

  // A few seconds of history; the database deleted under the running program is followed by a new one.
  const std::string database = session.home.filePath("history.sqlite3").toStdString();
  EXPECT_TRUE(waitFor([&] { return history(database)[0] >= 3; }));
  ASSERT_TRUE(std::filesystem::remove(database));
  const double replaced = QDateTime::currentMSecsSinceEpoch() / 1000.0;
  EXPECT_TRUE(waitFor([&] { return history(database)[0] >= 2; }));
  // A hardware file that never answers (a FIFO without a writer) holds up neither the readings nor the quit
  // a logout sends.
  const std::string capacity = session.sysfs.path("class/power_supply/BAT0/capacity");
  ASSERT_TRUE(std::filesystem::remove(capacity));
  ASSERT_EQ(mkfifo(capacity.c_str(), 0600), 0);
  QThread::msleep(1500);
  QElapsedTimer quitting;
  quitting.start();
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(15000));
  const double ended = QDateTime::currentMSecsSinceEpoch() / 1000.0;
  EXPECT_EQ(std::make_pair(program.exitStatus(), program.exitCode()),
            std::make_pair(QProcess::NormalExit, 0));
  EXPECT_LT(quitting.elapsed(), 2000);
  // One row for every second since the new file began, each with the fixture's 18 W.
  const std::vector<double> rows = history(database);
  EXPECT_EQ(rows[2] - rows[1] + 1, rows[0]);
  EXPECT_NEAR(rows[1], replaced, 2);
  EXPECT_GE(rows[2], std::floor(ended) - 1);  // the write under way at SIGTERM was kept
  EXPECT_EQ(std::make_pair(rows[3], rows[4]), std::make_pair(18.0, 18.0));

  // A copy quitting slowly (its last write held up by another connection) answers no new start, which
  // waits for it to end and then runs.
  program.start(WATTLINE_BINARY, {"--history-directory", session.home.path()});
  ASSERT_TRUE(waitFor([&] { return history(database)[2] > rows[2]; }));
  sqlite3* blocker = nullptr;
  ASSERT_EQ(sqlite3_open_v2(database.c_str(), &blocker, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(blocker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  QThread::msleep(1200);  // the write under way now waits for the busy timeout
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  QThread::msleep(200);
  second.start(WATTLINE_BINARY, {});
  EXPECT_TRUE(program.waitForFinished(5000) && program.exitCode() == 0);
  EXPECT_EQ(sqlite3_close(blocker), SQLITE_OK);  // rolls the transaction back
  EXPECT_FALSE(second.waitForFinished(1500)) << "the new start ended with the quitting copy";
  ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
  ASSERT_TRUE(second.waitForFinished(5000));
  EXPECT_EQ(std::make_pair(second.exitStatus(), second.exitCode()), std::make_pair(QProcess::NormalExit, 0));
}

// Stock GNOME without an AppIndicator extension: no watcher, no XEmbed tray (what the program says then is
// checked with the tray item).
TEST(TraySession, WithoutATrayThePanelIsAnOrdinaryWindowThatASecondStartBringsBack) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X display (xvfb-run)";
  Session session;
  ASSERT_TRUE(session.bus.running());
  // Not the first launch, and not asked to open: only the missing tray opens the panel.
  QDir(session.home.path()).mkpath("Wattline");
  std::ofstream(session.home.filePath("Wattline/Wattline.conf").toStdString())
      << "[General]\ndidShowWelcome=true\n";
  QProcess& program = session.program;
  program.start(WATTLINE_BINARY, {"--window-trace", session.trace});
  std::optional<QRect> panel;
  ASSERT_TRUE(waitFor([&] { return (panel = session.shown("瓦迹")).has_value(); }));
  EXPECT_EQ(panel->topRight(), QPoint(1280 - 10 - 1, 10)) << "the top right corner of the screen";
  closeWindow(run("xdotool", search(program, {"--name", "瓦迹"})).trimmed());
  EXPECT_TRUE(waitFor([&] { return !session.shown("瓦迹"); }));
  QProcess& second = session.second;
  second.start(WATTLINE_BINARY, {});
  ASSERT_TRUE(second.waitForFinished(15000));
  EXPECT_TRUE(waitFor([&] { return session.shown("瓦迹").has_value(); }));
}

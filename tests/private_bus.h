// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

// A private message bus standing in for the system or the session bus.
struct PrivateBus {
  std::string address;
  int pid = 0;
  PrivateBus() {
    FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    if (!out) return;
    char line[512];
    if (fgets(line, sizeof line, out)) address = std::string(line).substr(0, std::string(line).find('\n'));
    if (fgets(line, sizeof line, out)) pid = std::atoi(line);
    pclose(out);
  }
  ~PrivateBus() {
    if (pid > 0) kill(pid, SIGTERM);
  }
  bool running() const { return !address.empty() && pid > 0; }
};

// Runs the event loop until `done` holds or `limitMs` have passed.
inline bool spinUntil(const std::function<bool()>& done, int limitMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

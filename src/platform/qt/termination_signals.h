// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace wattline {

// SIGTERM (a session's logout), SIGINT and SIGHUP become one call on the main
// thread, through a pipe the signal handler writes to. The handlers are set
// when the object is made, before anything else of the program, so that a
// signal in its first moments waits in the pipe instead of killing it. One at
// a time; the previous handlers come back when it is destroyed.
class TerminationSignals {
 public:
  TerminationSignals();
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Whether a signal has come since the handlers were set.
  bool caught() const;
  // From the next turn of the event loop on, each signal (those that came
  // before included) calls `handler` on the main thread. Needs the application object.
  void follow(std::function<void(int signal)> handler);

  // Why the signals could not be followed, if they cannot.
  const std::optional<std::string>& problem() const { return problem_; }

 private:
  void drain();

  std::function<void(int)> handler_;
  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  std::optional<std::string> problem_;
};

}  // namespace wattline

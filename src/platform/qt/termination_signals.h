#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace wattline {

// SIGTERM (a session's logout), SIGINT and SIGHUP become one call on the main
// thread, through a pipe the signal handler writes to. One at a time; the
// previous handlers come back when it is destroyed.
class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void(int signal)> handler);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

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

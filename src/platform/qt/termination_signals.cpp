// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace wattline {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previous[std::size(kSignals)];
bool installed[std::size(kSignals)];
volatile sig_atomic_t writeEnd = -1;
volatile sig_atomic_t caughtAny = 0;

void onSignal(int signal) {
  int saved = errno;
  caughtAny = 1;
  unsigned char byte = static_cast<unsigned char>(signal);
  // Nothing else is safe here; a full pipe already holds a request to quit.
  [[maybe_unused]] ssize_t written = write(writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
  if (writeEnd != -1) {
    problem_ = "termination signals are already being followed";
    return;
  }
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    problem_ = std::string("cannot follow termination signals: pipe: ") + std::strerror(errno);
    return;
  }
  writeEnd = pipe_[1];
  caughtAny = 0;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    installed[i] = sigaction(kSignals[i], &action, &previous[i]) == 0;
    if (!installed[i] && !problem_)
      problem_ = std::string("cannot follow signal ") + strsignal(kSignals[i]) + ": " + std::strerror(errno);
  }
}

TerminationSignals::~TerminationSignals() {
  if (pipe_[0] == -1) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i)
    if (installed[i]) sigaction(kSignals[i], &previous[i], nullptr);
  writeEnd = -1;
  notifier_.reset();
  close(pipe_[0]);
  close(pipe_[1]);
}

bool TerminationSignals::caught() const {
  return caughtAny != 0;
}

void TerminationSignals::follow(std::function<void(int)> handler) {
  if (pipe_[0] == -1) return;
  handler_ = std::move(handler);
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
}

void TerminationSignals::drain() {
  unsigned char bytes[16];
  ssize_t count;
  while ((count = read(pipe_[0], bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < count; ++i) handler_(bytes[i]);
}

}  // namespace wattline

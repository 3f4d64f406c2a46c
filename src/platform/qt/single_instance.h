// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wattline {

// One running copy per bundle identifier and user. A lock file decides which
// copy runs, free of races; a local socket beside it carries the second
// start's request to reopen. A lock left by a copy that was killed does not
// count. Both live only in a directory of this user's that nobody else may
// enter (mode 0700): $XDG_RUNTIME_DIR/wattline, else wattline under the user's
// cache directory; a lock or socket there that belongs to another user is
// taken as absent.
class SingleInstance {
 public:
  enum class Role {
    primary,    // this copy runs; `reopen` is called for every later start
    secondary,  // another copy runs and was asked to reopen: exit
  };

  // `environment` looks variables up (XDG_RUNTIME_DIR, XDG_CACHE_HOME, HOME).
  SingleInstance(const std::string& identifier, std::function<void()> reopen,
                 std::function<std::optional<std::string>(std::string_view)> environment);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // A copy that holds the lock but no longer answers is ending: it is waited
  // for up to kEndingCopyWait, then this one runs.
  Role claim();
  // This copy is ending: later starts are not answered, so they wait for it.
  void stopListening();
  // What went wrong while claiming, if anything: a copy that cannot lock or
  // listen still runs, one that cannot reach the running copy still exits.
  const std::optional<std::string>& problem() const { return problem_; }
  // The path of the lock file (empty without a private directory); the socket's is the same with ".socket".
  const QString& lockPath() const { return lockPath_; }

  static constexpr int kEndingCopyWaitMilliseconds = 5000;

 private:
  void accept();
  // Whether a copy answered on the socket; `delivered` tells whether it took the request to reopen.
  bool tellRunningCopy(bool& delivered);
  void note(const std::string& text);

  QString lockPath_, socketPath_;
  std::function<void()> reopen_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
  std::optional<std::string> problem_;
};

}  // namespace wattline

#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace wattline {

// One running copy per bundle identifier and user. A lock file decides which
// copy runs, free of races; a local socket beside it carries the second
// start's request to reopen. A lock left by a copy that was killed does not
// count. Both live in $XDG_RUNTIME_DIR, else in the temporary directory.
class SingleInstance {
 public:
  enum class Role {
    primary,    // this copy runs; `reopen` is called for every later start
    secondary,  // another copy runs and was asked to reopen: exit
  };

  SingleInstance(const std::string& identifier, std::function<void()> reopen);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Role claim();
  // What went wrong while claiming, if anything: a copy that cannot lock or
  // listen still runs, one that cannot reach the running copy still exits.
  const std::optional<std::string>& problem() const { return problem_; }
  // The path of the lock file; the socket's is the same with ".socket".
  const QString& lockPath() const { return lockPath_; }

 private:
  void accept();
  bool tellRunningCopy();

  QString lockPath_, socketPath_;
  std::function<void()> reopen_;
  QLockFile lock_;
  QLocalServer server_;
  std::optional<std::string> problem_;
};

}  // namespace wattline

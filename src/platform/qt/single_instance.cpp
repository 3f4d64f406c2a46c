// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <vector>

namespace wattline {

namespace {

constexpr char kReopen[] = "reopen\n";

std::string text(const QString& path) {
  return path.toStdString();
}

// `path` as a directory only this user may enter: made with mode 0700 when
// missing, closed to others when it is ours; nothing when it is not a
// directory of ours.
std::optional<QString> privateDirectory(const QString& path, std::string& problem) {
  const QByteArray name = QFile::encodeName(path);
  if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
    problem = "cannot make " + text(path) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  struct stat status;
  if (::lstat(name.constData(), &status) != 0) {
    problem = "cannot look at " + text(path) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
    problem = text(path) + " is not a directory of this user's";
    return std::nullopt;
  }
  if ((status.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0) {
    problem = "cannot close " + text(path) + " to other users: " + std::strerror(errno);
    return std::nullopt;
  }
  return path;
}

// The runtime directory, else the cache directory, each with a "wattline" directory of its own.
std::optional<QString> lockDirectory(
    const std::function<std::optional<std::string>(std::string_view)>& environment, std::string& problems) {
  auto absolute = [&](std::string_view variable) -> std::optional<QString> {
    const std::optional<std::string> value = environment(variable);
    if (!value || value->empty() || value->front() != '/') return std::nullopt;
    return QDir::cleanPath(QString::fromStdString(*value));
  };
  std::vector<QString> candidates;
  if (const auto runtime = absolute("XDG_RUNTIME_DIR"); runtime && QDir(*runtime).exists())
    candidates.push_back(*runtime + "/wattline");
  if (const auto cache = absolute("XDG_CACHE_HOME"))
    candidates.push_back(*cache + "/wattline");
  else if (const auto home = absolute("HOME"))
    candidates.push_back(*home + "/.cache/wattline");
  for (const QString& candidate : candidates) {
    std::string problem;
    if (!QDir().mkpath(QFileInfo(candidate).path()))
      problem = "cannot make " + text(QFileInfo(candidate).path());
    if (problem.empty())
      if (std::optional<QString> directory = privateDirectory(candidate, problem)) return directory;
    problems += (problems.empty() ? "" : "; ") + problem;
  }
  return std::nullopt;
}

bool ownedByAnotherUser(const QString& path) {
  struct stat status;
  return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid != ::geteuid();
}

}  // namespace

SingleInstance::SingleInstance(const std::string& identifier, std::function<void()> reopen,
                               std::function<std::optional<std::string>(std::string_view)> environment)
    : reopen_(std::move(reopen)) {
  std::string problems;
  const std::optional<QString> directory = lockDirectory(environment, problems);
  if (!directory) {
    note(problems + (problems.empty() ? "" : "; ") +
         "no private directory for the lock, running without the single-copy check");
    return;
  }
  QString name = QString::fromStdString(identifier);
  for (QChar& c : name)
    if (!c.isLetterOrNumber() && c != '.' && c != '-' && c != '_') c = '_';
  lockPath_ = *directory + "/" + name + ".lock";
  socketPath_ = *directory + "/" + name + ".socket";
  lock_ = std::make_unique<QLockFile>(lockPath_);
  // Held for the whole run: only a holder that is gone makes the lock stale.
  lock_->setStaleLockTime(0);
}

// The server closes (removing its socket) before the lock is given up.
SingleInstance::~SingleInstance() {
  server_.close();
}

void SingleInstance::note(const std::string& text) {
  problem_ = problem_ ? *problem_ + "; " + text : text;
}

SingleInstance::Role SingleInstance::claim() {
  if (!lock_) return Role::primary;
  // Only another user with more rights than ours could have put these here.
  for (const QString& path : {lockPath_, socketPath_}) {
    if (!ownedByAnotherUser(path)) continue;
    if (::unlink(QFile::encodeName(path).constData()) == 0)
      note(text(path) + " belonged to another user and was taken as absent");
    else
      note("cannot remove " + text(path) + ", which belongs to another user: " + std::strerror(errno));
  }
  const QDeadlineTimer ending(kEndingCopyWaitMilliseconds);
  for (;;) {
    if (lock_->tryLock(0)) {
      QLocalServer::removeServer(socketPath_);  // left behind by a copy that was killed
      server_.setSocketOptions(QLocalServer::UserAccessOption);
      QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { accept(); });
      if (!server_.listen(socketPath_))
        note("cannot listen on " + text(socketPath_) + ": " + server_.errorString().toStdString() +
             "; later starts cannot reopen this one");
      return Role::primary;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
      note("cannot create " + text(lockPath_) + "; running without the single-copy check");
      return Role::primary;
    }
    bool delivered = false;
    if (tellRunningCopy(delivered)) {
      if (!delivered) note("the running copy did not answer the request to reopen");
      return Role::secondary;
    }
    // The holder does not answer: it is starting and not listening yet, or ending.
    if (ending.hasExpired()) {
      note("the copy holding " + text(lockPath_) +
           " neither answers nor ends; running without the single-copy check");
      return Role::primary;
    }
    QThread::msleep(100);
  }
}

void SingleInstance::stopListening() {
  server_.close();
}

void SingleInstance::accept() {
  while (QLocalSocket* connection = server_.nextPendingConnection()) {
    QObject::connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    auto read = [this, connection] {
      if (!connection->canReadLine()) return;
      bool reopen = connection->readLine() == kReopen;
      connection->disconnectFromServer();  // the other copy waits for this before it exits
      if (reopen && reopen_) reopen_();
    };
    QObject::connect(connection, &QLocalSocket::readyRead, connection, read);
    read();
  }
}

bool SingleInstance::tellRunningCopy(bool& delivered) {
  if (ownedByAnotherUser(socketPath_)) return false;
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(500)) return false;
  socket.write(kReopen);
  delivered = socket.waitForBytesWritten(1000) &&
              (socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(2000));
  return true;
}

}  // namespace wattline

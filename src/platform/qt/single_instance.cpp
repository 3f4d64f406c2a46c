#include "platform/qt/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace wattline {

namespace {

constexpr char kReopen[] = "reopen\n";

QString basePath(const std::string& identifier) {
  QString directory = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (directory.isEmpty() || !QDir(directory).exists()) directory = QDir::tempPath();
  QString name = QString::fromStdString(identifier);
  for (QChar& c : name)
    if (!c.isLetterOrNumber() && c != '.' && c != '-' && c != '_') c = '_';
  return directory + "/" + name + "-" + QString::number(getuid());
}

}  // namespace

SingleInstance::SingleInstance(const std::string& identifier, std::function<void()> reopen)
    : lockPath_(basePath(identifier) + ".lock"),
      socketPath_(basePath(identifier) + ".socket"),
      reopen_(std::move(reopen)),
      lock_(lockPath_) {
  // Held for the whole run: only a holder that is gone makes the lock stale.
  lock_.setStaleLockTime(0);
}

// The server closes (removing its socket) before the lock is given up.
SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::claim() {
  if (lock_.tryLock(0)) {
    QLocalServer::removeServer(socketPath_);  // left behind by a copy that was killed
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { accept(); });
    if (!server_.listen(socketPath_))
      problem_ = "cannot listen on " + socketPath_.toStdString() + ": " +
                 server_.errorString().toStdString() + "; later starts cannot reopen this one";
    return Role::primary;
  }
  if (lock_.error() != QLockFile::LockFailedError) {
    problem_ = "cannot create " + lockPath_.toStdString() + "; running without the single-copy check";
    return Role::primary;
  }
  if (!tellRunningCopy()) problem_ = "the running copy did not answer the request to reopen";
  return Role::secondary;
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

bool SingleInstance::tellRunningCopy() {
  // The running copy may have taken the lock a moment ago and not be listening yet.
  for (int attempt = 0; attempt < 30; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(500)) {
      socket.write(kReopen);
      return socket.waitForBytesWritten(1000) &&
             (socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(2000));
    }
    QThread::msleep(100);
  }
  return false;
}

}  // namespace wattline

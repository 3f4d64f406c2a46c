#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "qt_application.h"

namespace {

// One start of the program as far as the single-instance check goes.
struct Start {
  explicit Start(const QString& runtimeDirectory) {
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtimeDirectory);
    process.setProcessEnvironment(environment);
    process.start(WATTLINE_SINGLE_INSTANCE_PROBE, {"local.wattline.test"});
  }
  ~Start() {
    process.kill();
    process.waitForFinished();
  }
  QString nextLine() {
    while (!process.canReadLine())
      if (!process.waitForReadyRead(10000)) return "(nothing)";
    return QString::fromUtf8(process.readLine()).trimmed();
  }
  QProcess process;
};

}  // namespace

TEST(SingleInstance, ASecondStartReopensTheFirstAndAKilledCopyLeavesNoBlockingLock) {
  testApplication();
  QTemporaryDir runtime;
  auto first = std::make_unique<Start>(runtime.path());
  ASSERT_EQ(first->nextLine(), "primary");

  Start second(runtime.path());
  EXPECT_EQ(second.nextLine(), "secondary");
  ASSERT_TRUE(second.process.waitForFinished(10000));
  EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process.exitCode(), 0);
  EXPECT_EQ(first->nextLine(), "reopen");

  first.reset();  // SIGKILL: the lock file and the socket stay behind
  QStringList leftBehind = QDir(runtime.path()).entryList(QDir::Files | QDir::System);
  ASSERT_EQ(leftBehind.size(), 2) << leftBehind.join(" ").toStdString();
  Start third(runtime.path());
  EXPECT_EQ(third.nextLine(), "primary");
  Start fourth(runtime.path());
  EXPECT_EQ(fourth.nextLine(), "secondary");
  EXPECT_EQ(third.nextLine(), "reopen");
}

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>

#include "platform/qt/termination_signals.h"
#include "qt_application.h"

using namespace wattline;

TEST(TerminationSignals, EachSignalArrivesOnTheMainThreadAndTheOldHandlersReturn) {
  testApplication();
  std::vector<int> received;
  {
    TerminationSignals following;
    ASSERT_FALSE(following.problem());
    TerminationSignals second;
    EXPECT_TRUE(second.problem());  // one at a time
    // A signal before anyone follows waits for them.
    ASSERT_EQ(raise(SIGHUP), 0);
    EXPECT_TRUE(following.caught());
    following.follow([&](int signal) { received.push_back(signal); });
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
      ASSERT_EQ(raise(signal), 0);
      QElapsedTimer clock;
      clock.start();
      std::size_t expected = received.size() + 1;
      while (received.size() < expected && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
  }
  EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGTERM, SIGINT, SIGHUP}));
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

#pragma once

#include <QCoreApplication>

// The one Qt application object of a test program, made on first use.
inline QCoreApplication& testApplication() {
  static int argc = 1;
  static char name[] = "wattline-test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

#pragma once

#include <QApplication>

// The one Qt application object of a test program, made on first use. Tests
// run on Qt's offscreen platform, so widgets can be built and rendered.
inline QApplication& testApplication() {
  static int argc = 1;
  static char name[] = "wattline-test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

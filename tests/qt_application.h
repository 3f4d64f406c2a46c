// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>

// The one Qt application object of a test program, made on first use. Tests
// run on Qt's offscreen platform, so widgets can be built and rendered. It is
// never destroyed: at exit Qt's own globals (the input devices a shown window
// registers) are already gone, and destroying the application after them crashes.
inline QApplication& testApplication() {
  static int argc = 1;
  static char name[] = "wattline-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

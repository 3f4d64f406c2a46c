// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>

#include "app/app_info.h"
#include "qt_application.h"

TEST(AboutDialog, OneAtATimeClosedInChinese) {
  testApplication();
  wattline::AppInfo::showAbout();
  wattline::AppInfo::showAbout();
  QList<QWidget*> shown = QApplication::topLevelWidgets();
  shown.removeIf([](QWidget* widget) { return !qobject_cast<QDialog*>(widget) || !widget->isVisible(); });
  ASSERT_EQ(shown.size(), 1);
  QPushButton* close = shown[0]->findChild<QPushButton*>();
  ASSERT_EQ(close->text(), "关闭");
  close->click();
  EXPECT_FALSE(shown[0]->isVisible());
}

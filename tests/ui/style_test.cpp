// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextLayout>
#include <sstream>
#include "qt_application.h"

#include "ui/style/fonts.h"
#include "ui/style/symbols.h"

using namespace wattline;

TEST(Style, NumbersKeepTheirWidthAndTheFontIsTheChineseCut) {
  testApplication();
  for (auto weight : {Fonts::Weight::regular, Fonts::Weight::semibold}) {
    const QFont font = Fonts::system(26, weight);
    EXPECT_EQ(QFontInfo(font).family(), Fonts::family);
    QFontMetricsF metrics(font);
    const double zero = metrics.horizontalAdvance(QChar('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
      EXPECT_DOUBLE_EQ(metrics.horizontalAdvance(QChar(digit)), zero) << digit;
  }
  // A design point is a device-independent pixel.
  EXPECT_NEAR(QFontMetricsF(Fonts::system(12)).height(), 12 * 1.45, 12 * 0.2);
}

TEST(Style, EverySymbolIsOneGlyphOfTheIconFont) {
  testApplication();
  const QFont font = Symbols::font(24);
  ASSERT_EQ(QFontInfo(font).family(), Symbols::family);
  // Every name the interface draws.
  std::istringstream names(
      "bolt.fill cpu arrow.up arrow.down pause.fill waveform.path battery.75percent "
      "battery.100percent.bolt square.stack.3d.up display clock clock.arrow.circlepath wifi "
      "fanblades arrow.clockwise gearshape chevron.up chevron.down chevron.left chevron.right "
      "checkmark xmark calendar.badge.clock tablecells questionmark.circle "
      "dot.radiowaves.left.and.right arrow.right.to.line exclamationmark.triangle "
      "internaldrive plus.magnifyingglass minus.magnifyingglass");
  for (std::string name; names >> name;) {
    QTextLayout layout(Symbols::ligature(name), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    qsizetype glyphs = 0;
    for (const auto& run : layout.glyphRuns()) glyphs += run.glyphIndexes().size();
    EXPECT_EQ(glyphs, 1) << name;
  }
  EXPECT_TRUE(Symbols::ligature("no.such.symbol").isEmpty());
}

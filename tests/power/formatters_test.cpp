#include <gtest/gtest.h>

#include <cmath>

#include "power/power_snapshot.h"

using namespace wattline;

TEST(Formatters, Reading) {
  EXPECT_EQ(reading(std::nullopt, "瓦", false), "— 瓦");
  EXPECT_EQ(reading(-1.234, "A", false), "-1.23 A");
  EXPECT_EQ(reading(-1.234, "A", true), "1.23 A");
  EXPECT_EQ(reading(12.3456, "V", 1, false), "12.3 V");
  EXPECT_EQ(reading(0.0, "W", 0, false), "0 W");  // zero is a reading, not a dash
}

TEST(Formatters, PrecisePowerReading) {
  EXPECT_EQ(precisePowerReading(0.4567, false), "0.457 W");
  EXPECT_EQ(precisePowerReading(5.25, false), "5.25 W");
  EXPECT_EQ(precisePowerReading(23.46, true), "≈23.5 W");
  EXPECT_EQ(precisePowerReading(0.999, false), "0.999 W");
  EXPECT_EQ(precisePowerReading(1.0, false), "1.00 W");
  EXPECT_EQ(precisePowerReading(10.0, false), "10.0 W");
  EXPECT_EQ(precisePowerReading(0.0, false), "0.000 W");
  EXPECT_EQ(precisePowerReading(-0.1, true), "— W");
  EXPECT_EQ(precisePowerReading(std::nullopt, true), "— W");
  EXPECT_EQ(precisePowerReading(NAN, false), "— W");
  EXPECT_EQ(precisePowerReading(INFINITY, false), "— W");
}

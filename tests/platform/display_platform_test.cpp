// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/qt/display_platform.h"

using namespace wattline;

TEST(DisplayPlatform, XWhereThereIsOneTheUsersChoiceAlwaysAndNothingWithoutADisplay) {
  struct Case {
    const char *display, *wayland, *qpa;
    bool available;
    std::optional<std::string> platform;
  } cases[] = {
      {":0", "", "", true, "xcb"},
      {":0", "wayland-0", "", true, "xcb"},  // XWayland: the panel can be placed
      {"", "wayland-0", "", true, std::nullopt},
      {":0", "wayland-0", "wayland", true, std::nullopt},
      {"", "", "offscreen", true, std::nullopt},
      {"", "", "", false, std::nullopt},
  };
  for (const auto& c : cases) {
    DisplayChoice choice = chooseDisplayPlatform(c.display, c.wayland, c.qpa);
    EXPECT_EQ(choice.available, c.available) << c.display << "|" << c.wayland << "|" << c.qpa;
    EXPECT_EQ(choice.platform, c.platform) << c.display << "|" << c.wayland << "|" << c.qpa;
  }

  // The process's own environment, restored afterwards.
  const char* names[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"};
  std::vector<std::optional<std::string>> saved;
  for (const char* name : names) {
    const char* value = std::getenv(name);
    saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    unsetenv(name);
  }
  std::ostringstream errors;
  EXPECT_FALSE(prepareDisplayPlatform(errors));
  EXPECT_EQ(errors.str(), "no display: set DISPLAY or WAYLAND_DISPLAY; the tool modes work without one\n");
  setenv("DISPLAY", ":7", 1);
  EXPECT_TRUE(prepareDisplayPlatform(errors));
  EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
  for (std::size_t i = 0; i < saved.size(); ++i)
    saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <string>

namespace wattline::testing {

// A private copy of a fixture directory that a test may change; removed with the object.
class FixtureTree {
 public:
  explicit FixtureTree(const std::filesystem::path& source);
  ~FixtureTree();
  FixtureTree(const FixtureTree&) = delete;
  FixtureTree& operator=(const FixtureTree&) = delete;

  std::string root() const { return root_.string(); }
  // Writes `text` and a line break to the file at `relative`, creating directories.
  void write(const std::string& relative, const std::string& text) const;
  void remove(const std::string& relative) const;

 private:
  std::filesystem::path root_;
};

}  // namespace wattline::testing

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace wattline::testing {

// A private copy of a fixture tree that a test may rewrite; removed afterwards.
class FixtureCopy {
 public:
  explicit FixtureCopy(const std::string& fixture) {
    std::string pattern = (std::filesystem::temp_directory_path() / "wattline-fixture-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    if (!fixture.empty())
      std::filesystem::copy(
          std::filesystem::path(WATTLINE_FIXTURES) / fixture, root_,
          std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }
  ~FixtureCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  FixtureCopy(const FixtureCopy&) = delete;
  FixtureCopy& operator=(const FixtureCopy&) = delete;

  std::string path(const std::string& relative = "") const { return (root_ / relative).string(); }
  void write(const std::string& relative, const std::string& text) const {
    std::filesystem::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::trunc) << text;
  }

 private:
  std::filesystem::path root_;
};

}  // namespace wattline::testing

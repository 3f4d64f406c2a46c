// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/fixture_tree.h"

#include <atomic>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace wattline::testing {

namespace {
std::atomic<int> counter{0};
}

FixtureTree::FixtureTree(const std::filesystem::path& source) {
  root_ = std::filesystem::temp_directory_path() /
          ("wattline-fixture-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(root_);
  std::filesystem::create_directories(root_);
  // Links stay links, as in sysfs, where devices are reached through them.
  std::filesystem::copy(
      source, root_, std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
}

FixtureTree::~FixtureTree() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void FixtureTree::write(const std::string& relative, const std::string& text) const {
  const auto path = root_ / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::trunc);
  out << text << '\n';
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void FixtureTree::remove(const std::string& relative) const {
  std::filesystem::remove_all(root_ / relative);
}

}  // namespace wattline::testing

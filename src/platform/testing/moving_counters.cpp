// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/moving_counters.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace wattline::testing {

namespace {

std::string counterPath(const std::string& root, const std::string& zone) {
  return root + "/class/powercap/" + zone + "/energy_uj";
}

}  // namespace

MovingCounters::MovingCounters(std::string sysfsRoot, std::vector<std::pair<std::string, double>> watts)
    : root_(std::move(sysfsRoot)), watts_(std::move(watts)) {
  for (const auto& [zone, _] : watts_) {
    long long microjoules = 0;
    std::ifstream(counterPath(root_, zone)) >> microjoules;
    start_.push_back(microjoules);
  }
  write(0);
  thread_ = std::thread([this] {
    const auto begin = std::chrono::steady_clock::now();
    while (!stop_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      write(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
  });
}

MovingCounters::~MovingCounters() {
  stop_ = true;
  thread_.join();
}

void MovingCounters::write(double seconds) const {
  for (std::size_t i = 0; i < watts_.size(); ++i) {
    const std::string path = counterPath(root_, watts_[i].first), next = path + ".next";
    const std::string text =
        std::to_string(start_[i] + static_cast<long long>(watts_[i].second * seconds * 1e6));
    const int fd = ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0400);
    if (fd < 0) throw std::runtime_error("cannot write " + next);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0 || !written || std::rename(next.c_str(), path.c_str()) != 0)
      throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace wattline::testing

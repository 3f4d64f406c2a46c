// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace wattline {

// Tells the system that user-initiated work is under way (idle sleep stays allowed).
class ProcessActivity {
 public:
  virtual ~ProcessActivity() = default;
  virtual int begin(const std::string& reason) = 0;
  virtual void end(int token) = 0;
};

}  // namespace wattline

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/command_line.h"

namespace wattline {

// Runs the tray application until it quits and returns its exit status: 0
// after an orderly quit and for a second start (which asks the running copy
// to reopen), 1 without a display. `argc` and `argv` go to Qt.
int runTrayApplication(int& argc, char** argv, const CommandLineOptions& options);

}  // namespace wattline

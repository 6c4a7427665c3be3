#pragma once

#include "cli/arguments.h"

namespace kelvane::cli {

// Lists the devices, or sends the plan's messages in order to the chosen output and returns once
// they have left. Returns the exit status; problems go to standard error.
int RunPlan(const Plan& plan);

// The whole command line, without a window: parse, then run. Returns the exit status.
int RunCommandLine(int argc, char** argv);

}  // namespace kelvane::cli

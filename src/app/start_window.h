#pragma once

namespace kelvane {

// Replaces this process with the window program, which lives apart so that the command line
// never loads the widget libraries. Returns only when it cannot be started, with the status.
int StartWindow(char** argv);

}  // namespace kelvane

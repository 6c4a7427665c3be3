#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/run.h"

namespace {

// Replaces this process with the window program, which lives apart so that the command line
// never loads the widget libraries. Returns only when it cannot be started, with the status.
int StartWindow(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    // Beside this program as installed, and the same in the build tree.
    const std::filesystem::path window = self.parent_path() / KELVANE_WINDOW_PROGRAM;
    if (!error) {
        execv(window.c_str(), argv);
        error.assign(errno, std::generic_category());
    }
    std::fprintf(stderr, "kelvane: cannot start the window %s: %s\n", window.c_str(),
                 error.message().c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        return kelvane::cli::RunCommandLine(argc, argv);
    }
    return StartWindow(argv);
}

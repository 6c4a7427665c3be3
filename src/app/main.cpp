#include "app/start_window.h"
#include "cli/run.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        return kelvane::cli::RunCommandLine(argc, argv);
    }
    return kelvane::StartWindow(argv);
}

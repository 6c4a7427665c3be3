#pragma once

#include <QApplication>
#include <memory>

#include "app/menu_bar1.h"
#include "version/version.h"

namespace kelvane {

// The version numbers the application object carries; the About box writes its own.
struct VersionData {
    int MajorVersion = version::kMajor;
    int MinorVersion = version::kMinor;
    int BugVersion = version::kPatch;
    int StageCode = 0;
    int NonReleaseVersion = 0;
    const char* LongVersion = "2019";
    const char* ShortVersion = "1";
    const char* PackageInfo = "";
};

class App : public QApplication {
    Q_OBJECT

public:
    static inline const VersionData kVersion{};

    App(int& argc, char** argv);
    ~App() override;

    MenuBar1& MenuBar() { return *menuBar_; }

    // Shows the main window and runs the event loop until Quit; returns the loop's exit code.
    int Run();

    // Shows the About box; returns false, as menu handlers that leave the event to others do.
    bool AppleAbout_Action();

private:
    std::unique_ptr<MenuBar1> menuBar_;
};

}  // namespace kelvane

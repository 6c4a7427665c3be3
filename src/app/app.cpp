#include "app/app.h"

#include <QIcon>

#include "app/about.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

// The icon lives in a static library, where nothing would otherwise keep its resources linked.
static void InitResources() { Q_INIT_RESOURCE(kelvane); }

namespace kelvane {

App::App(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kelvane"));
    setDesktopFileName(QStringLiteral("org.kelvane.Kelvane"));
    InitResources();
    setWindowIcon(QIcon(QStringLiteral(":/kelvane/icon.png")));
    setApplicationVersion(version::Text());
    menuBar_ = std::make_unique<MenuBar1>();
    connect(&menuBar_->Item(QStringLiteral("AppleAbout")), &QAction::triggered, this,
            &App::AppleAbout_Action);
}

App::~App() = default;

int App::Run() {
    Window1 window(menuBar_.get());
    window.show();
    return exec();
}

bool App::AppleAbout_Action() {
    MsgBox(AboutText());
    return false;
}

}  // namespace kelvane

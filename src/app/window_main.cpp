#include "app/app.h"
#include "ui/window1.h"

int main(int argc, char** argv) {
    kelvane::App app(argc, argv);
    kelvane::Window1 window(&app.MenuBar());
    window.show();
    return kelvane::App::exec();
}

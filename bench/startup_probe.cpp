// Starts like the program does and exits as soon as the window is exposed. Built three times: as
// Kelvane; as the floor, a bare Qt program with an empty window of the same size; and as that
// window with one label, which shows what the first text on screen costs on its own (the font
// database).
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWidget>

#ifdef KELVANE_PROBE_FLOOR
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(432, 270);
#ifdef KELVANE_PROBE_WITH_LABEL
    QLabel label(QStringLiteral("Select MIDI"), &window);
#endif
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
}
#else
#include "app/app.h"
#include "ui/window1.h"

int main(int argc, char** argv) {
    kelvane::App app(argc, argv);
    kelvane::Window1 window(&app.MenuBar());
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
}
#endif

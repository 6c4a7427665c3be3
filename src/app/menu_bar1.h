#pragma once

#include <QAction>
#include <QMenuBar>

namespace kelvane {

// The one menu bar, built once and shared: the application keeps it, and the window shows the
// same menus and actions. About and Quit carry their roles so that macOS can move them.
class MenuBar1 : public QMenuBar {
    Q_OBJECT

public:
    MenuBar1();

    // The menu item or menu (its action) of that name.
    QAction& Item(const QString& name) const;

private:
    void Untitled0();
    void Untitled1();
};

}  // namespace kelvane

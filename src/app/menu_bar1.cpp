#include "app/menu_bar1.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <stdexcept>

namespace kelvane {
namespace {

QMenu& AddMenu(QMenuBar& bar, const char* name, const QString& text) {
    QMenu* menu = bar.addMenu(text);
    menu->setObjectName(QLatin1StringView(name));
    menu->menuAction()->setObjectName(QLatin1StringView(name));
    return *menu;
}

QAction& AddItem(QMenu& menu, const char* name, const QString& text, const QKeySequence& shortcut) {
    QAction* action = menu.addAction(text);
    action->setObjectName(QLatin1StringView(name));
    action->setShortcut(shortcut);
    return *action;
}

void AddSeparator(QMenu& menu, const char* name) {
    menu.addSeparator()->setObjectName(QLatin1StringView(name));
}

// The text field the edit commands act on: the focused one, also inside the channel combo box.
QLineEdit* FocusedField() {
    QWidget* focus = QApplication::focusWidget();
    if (auto* combo = qobject_cast<QComboBox*>(focus)) {
        return combo->lineEdit();
    }
    return qobject_cast<QLineEdit*>(focus);
}

void OnFocusedField(QAction& action, void (*command)(QLineEdit&)) {
    QObject::connect(&action, &QAction::triggered, &action, [command] {
        if (QLineEdit* field = FocusedField()) {
            command(*field);
        }
    });
}

}  // namespace

MenuBar1::MenuBar1() {
    Untitled0();
    Untitled1();
}

void MenuBar1::Untitled0() {
    QMenu& file = AddMenu(*this, "FileMenu", tr("&File"));
    QAction& about = AddItem(file, "AppleAbout", QStringLiteral("About\u2026"),
                             QKeySequence(Qt::CTRL | Qt::Key_I));
    about.setMenuRole(QAction::AboutRole);
    about.setShortcutContext(Qt::ApplicationShortcut);
    QAction& quit = AddItem(file, "FileQuit", tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit.setMenuRole(QAction::QuitRole);
    quit.setShortcutContext(Qt::ApplicationShortcut);
    connect(&quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MenuBar1::Untitled1() {
    QMenu& edit = AddMenu(*this, "EditMenu", tr("&Edit"));
    OnFocusedField(AddItem(edit, "EditUndo", tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z)),
                   [](QLineEdit& field) { field.undo(); });
    AddSeparator(edit, "UntitledMenu1");
    OnFocusedField(AddItem(edit, "EditCut", tr("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X)),
                   [](QLineEdit& field) { field.cut(); });
    OnFocusedField(AddItem(edit, "EditCopy", tr("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C)),
                   [](QLineEdit& field) { field.copy(); });
    OnFocusedField(AddItem(edit, "EditPaste", tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V)),
                   [](QLineEdit& field) { field.paste(); });
    OnFocusedField(AddItem(edit, "EditClear", tr("&Delete"), QKeySequence()), [](QLineEdit& field) {
        if (field.hasSelectedText()) {
            field.del();
        }
    });
    AddSeparator(edit, "UntitledMenu0");
    OnFocusedField(
        AddItem(edit, "EditSelectAll", tr("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A)),
        [](QLineEdit& field) { field.selectAll(); });
}

QAction& MenuBar1::Item(const QString& name) const {
    if (auto* action = findChild<QAction*>(name)) {
        return *action;
    }
    if (auto* menu = findChild<QMenu*>(name)) {
        return *menu->menuAction();
    }
    throw std::logic_error("MenuBar1 has no item " + name.toStdString());
}

}  // namespace kelvane

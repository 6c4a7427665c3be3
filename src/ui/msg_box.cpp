#include "ui/msg_box.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

namespace kelvane {
namespace {
MsgBoxHook& Hook() {
    static MsgBoxHook hook;
    return hook;
}
}  // namespace

void MsgBox(const QString& text) {
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox box(QApplication::activeWindow());
    // Device names and PortMidi's texts reach message boxes: never read them as rich text.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(text).replace(u'\r', u'\n'));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

MsgBoxHook SetMsgBoxHook(MsgBoxHook hook) { return std::exchange(Hook(), std::move(hook)); }

}  // namespace kelvane

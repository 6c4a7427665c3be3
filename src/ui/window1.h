#pragma once

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/default_buttons.h"
#include "ui/sysex_sending.h"

class QMenuBar;

namespace kelvane {

struct CheckedSysEx;
struct SendResult;

namespace midi {
class MidiLibrary;
class MidiStream;
}  // namespace midi

// Kelvane's window. window1.ui holds its layout; the handlers are connected only once that layout
// is in place, so setting up the controls runs none of them.
//
// Default buttons: Return in any of the three text fields presses the default button; when more
// than one button is default, the one made default most recently wins.
// Active: a field is active while its window is the active window.
class Window1 : public QMainWindow {
    Q_OBJECT

public:
    // menus: the shared menu bar whose menus this window shows; none in tests that need none.
    explicit Window1(QMenuBar* menus = nullptr);
    ~Window1() override;

    // Controls, looked up by name.
    QLabel& StaticText1() const;
    QLabel& StaticText2() const;
    QSlider& Slider1() const;
    QLabel& StaticText3() const;
    QPushButton& SendCC() const;
    QLineEdit& CCnumber() const;
    QLabel& StaticText4() const;
    QLineEdit& SysExField() const;
    QPushButton& SendSysEx() const;
    QComboBox& PopupMenu1() const;
    QLabel& Label1() const;
    QPushButton& PushButtonSearch() const;
    QLabel& Label2() const;
    QComboBox& ComboBox1() const;
    QFrame& Line1() const;
    QFrame& Line2() const;
    QLineEdit& SysExFieldHex() const;
    QLabel& Label3() const;
    QPushButton& SendSysExHex() const;

    // Menu items of the window's menu bar, looked up by name.
    QAction& MenuItem(const QString& name) const;
    // The dialog of the SysEx send under way, if any.
    SendProgressDialog* ProgressDialog() const { return sending_.Dialog(); }

    void Slider1_ValueChanged(QSlider& control);
    void SendCC_Action(QPushButton& control);
    void CCnumber_TextChange(QLineEdit& control);
    void SysExField_TextChange(QLineEdit& control);
    void SendSysEx_Action(QPushButton& control);
    void PopupMenu1_Change(QComboBox& control);
    void PushButtonSearch_Action(QPushButton& control);
    void SysExFieldHex_TextChange(QLineEdit& control);
    void SendSysExHex_Action(QPushButton& control);

    // A .syx file dropped anywhere on the window: its bytes go into SysExFieldHex as two-digit
    // hex values, or the reason it is no SysEx, or too large to show, goes into a message box and
    // nothing changes.
    // path: the file's name as the system has it, byte for byte.
    void DropObject(const QByteArray& path);

    std::int64_t GetVelocity() const;
    void SendCCdata();
    void SendSysExData();
    void GetMIDIWorld();
    void SendSysExDataHex();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    template <typename Control>
    Control& Find(const char* name) const;

    void AttachHandlers();
    void Open();
    // Refuses a row that is too short or not SysEx with a message; otherwise opens and sends its
    // bytes, paced, with a progress dialog while that takes time.
    void SendSysExRow(const QString& row, CheckedSysEx (*bytesOf)(QStringView));
    // A send that did not send says why; success stays silent.
    void Tell(const SendResult& result);
    void Search();

    std::unique_ptr<midi::MidiLibrary> p;
    std::unique_ptr<midi::MidiStream> s;
    DefaultButtons defaults_;
    bool uncheckedTold_ = false;  // that a device leaving cannot be told, since the last listing
    // After s: its sender goes before the stream does.
    SysExSending sending_{*this};
};

}  // namespace kelvane

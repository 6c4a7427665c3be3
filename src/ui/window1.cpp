#include "ui/window1.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>
#include <chrono>
#include <stdexcept>

#include "messages/control_change.h"
#include "messages/send.h"
#include "messages/sysex_row.h"
#include "midi/device_rows.h"
#include "midi/midi_library.h"
#include "midi/midi_stream.h"
#include "midi/output_settings.h"
#include "text/number_text.h"
#include "text/text.h"
#include "ui/msg_box.h"
#include "ui/syx_drop.h"
#include "ui_window1.h"

namespace kelvane {
namespace {

constexpr QSize kContentSize(432, 270);

// The window's word for a device that has left names the button that lists the devices anew.
QString DeviceGoneText() {
    return QStringLiteral("The device is gone; Search MIDI lists the devices anew.");
}

// Empty when the MIDI service could be reached.
QString ServiceProblemText() {
    const QString problem = midi::MidiLibrary::ServiceProblem();
    return problem.isEmpty() ? problem : NoMidiServiceText(problem);
}

bool IsActive(const QWidget& field) { return field.isActiveWindow(); }

}  // namespace

Window1::Window1(QMenuBar* menus) {
    Ui::Window1 layout;
    layout.setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    if (menus != nullptr) {
        menuBar()->addActions(menus->actions());
    }
    // The stored size is the content area's; the menu bar comes on top of it.
    const int menuHeight = menuBar()->isNativeMenuBar() ? 0 : menuBar()->sizeHint().height();
    resize(kContentSize + QSize(0, menuHeight));
    ComboBox1().setCompleter(nullptr);

    setAcceptDrops(true);
    auto* drop = new SyxDrop(*this, [this](const QByteArray& path) { DropObject(path); });
    installEventFilter(drop);
    for (QLineEdit* field : {&CCnumber(), &SysExField(), &SysExFieldHex()}) {
        field->installEventFilter(drop);
    }

    connect(&sending_, &SysExSending::Finished, this, &Window1::Tell);
    AttachHandlers();
    Open();
}

Window1::~Window1() = default;

template <typename Control>
Control& Window1::Find(const char* name) const {
    auto* control =
        centralWidget()->findChild<Control*>(QLatin1StringView(name), Qt::FindDirectChildrenOnly);
    if (control == nullptr) {
        throw std::logic_error(std::string("Window1 has no control ") + name + " of its kind");
    }
    return *control;
}

QLabel& Window1::StaticText1() const { return Find<QLabel>("StaticText1"); }
QLabel& Window1::StaticText2() const { return Find<QLabel>("StaticText2"); }
QSlider& Window1::Slider1() const { return Find<QSlider>("Slider1"); }
QLabel& Window1::StaticText3() const { return Find<QLabel>("StaticText3"); }
QPushButton& Window1::SendCC() const { return Find<QPushButton>("SendCC"); }
QLineEdit& Window1::CCnumber() const { return Find<QLineEdit>("CCnumber"); }
QLabel& Window1::StaticText4() const { return Find<QLabel>("StaticText4"); }
QLineEdit& Window1::SysExField() const { return Find<QLineEdit>("SysExField"); }
QPushButton& Window1::SendSysEx() const { return Find<QPushButton>("SendSysEx"); }
QComboBox& Window1::PopupMenu1() const { return Find<QComboBox>("PopupMenu1"); }
QLabel& Window1::Label1() const { return Find<QLabel>("Label1"); }
QPushButton& Window1::PushButtonSearch() const { return Find<QPushButton>("PushButtonSearch"); }
QLabel& Window1::Label2() const { return Find<QLabel>("Label2"); }
QComboBox& Window1::ComboBox1() const { return Find<QComboBox>("ComboBox1"); }
QFrame& Window1::Line1() const { return Find<QFrame>("Line1"); }
QFrame& Window1::Line2() const { return Find<QFrame>("Line2"); }
QLineEdit& Window1::SysExFieldHex() const { return Find<QLineEdit>("SysExFieldHex"); }
QLabel& Window1::Label3() const { return Find<QLabel>("Label3"); }
QPushButton& Window1::SendSysExHex() const { return Find<QPushButton>("SendSysExHex"); }

QAction& Window1::MenuItem(const QString& name) const {
    for (QAction* title : menuBar()->actions()) {
        QMenu* menu = title->menu();
        if (QAction* item = menu != nullptr ? menu->findChild<QAction*>(name) : nullptr) {
            return *item;
        }
    }
    throw std::logic_error("Window1 has no menu item " + name.toStdString());
}

void Window1::AttachHandlers() {
    QSlider& slider = Slider1();
    connect(&slider, &QSlider::valueChanged, this,
            [this, &slider] { Slider1_ValueChanged(slider); });

    const auto onClick = [this](QPushButton& button, void (Window1::*handler)(QPushButton&)) {
        connect(&button, &QPushButton::clicked, this,
                [this, &button, handler] { (this->*handler)(button); });
    };
    onClick(SendCC(), &Window1::SendCC_Action);
    onClick(SendSysEx(), &Window1::SendSysEx_Action);
    onClick(PushButtonSearch(), &Window1::PushButtonSearch_Action);
    onClick(SendSysExHex(), &Window1::SendSysExHex_Action);

    // textEdited: the user's own changes, typing and the edit commands alike.
    const auto onEdit = [this](QLineEdit& field, void (Window1::*handler)(QLineEdit&)) {
        connect(&field, &QLineEdit::textEdited, this,
                [this, &field, handler] { (this->*handler)(field); });
        connect(&field, &QLineEdit::returnPressed, this, [this] { defaults_.Press(); });
    };
    onEdit(CCnumber(), &Window1::CCnumber_TextChange);
    onEdit(SysExField(), &Window1::SysExField_TextChange);
    onEdit(SysExFieldHex(), &Window1::SysExFieldHex_TextChange);

    // activated: only the user's choice, not the rebuilding of the list.
    QComboBox& popup = PopupMenu1();
    connect(&popup, &QComboBox::activated, this, [this, &popup] { PopupMenu1_Change(popup); });
}

// Device discovery and output selection

void Window1::Open() {
    p = std::make_unique<midi::MidiLibrary>();
    s = std::make_unique<midi::MidiStream>();
    GetMIDIWorld();
}

void Window1::GetMIDIWorld() {
    uncheckedTold_ = false;
    QComboBox& popup = PopupMenu1();
    popup.clear();
    popup.setEnabled(false);
    const std::vector<midi::MidiDeviceInfo> rows = midi::Devices();
    for (std::size_t id = 0; id < rows.size(); ++id) {
        popup.addItem(midi::DeviceRowText(static_cast<std::int64_t>(id), rows[id]));
    }
    popup.setCurrentIndex(static_cast<int>(midi::StartRow(rows)));
    // Said in the list itself: at start a modal box would come before the window.
    const QString problem = ServiceProblemText();
    popup.setPlaceholderText(problem);
    popup.setToolTip(problem);
    if (popup.count() > 0) {
        popup.setEnabled(true);
        SendCC().setEnabled(true);
        SendSysEx().setEnabled(true);
    }
    s->OpenOutput(popup.currentIndex(), midi::kOutputBufferSize, midi::kSendLatencyMs);
}

void Window1::PopupMenu1_Change(QComboBox& control) {
    sending_.After([this, &control] {
        s->OpenOutput(control.currentIndex(), midi::kOutputBufferSize, midi::kChoiceLatencyMs);
    });
}

void Window1::PushButtonSearch_Action(QPushButton&) {
    sending_.After([this] {
        // A rescan closes every stream, which would drop output still scheduled: wait for it
        // here rather than inside the rescan, so the window never sleeps. Nothing can be sent
        // meanwhile, which would make the wait too short.
        const std::int64_t wait = midi::MidiLibrary::MsUntilOutputLeft();
        if (wait > 0) {
            centralWidget()->setEnabled(false);
            QTimer::singleShot(std::chrono::milliseconds(wait), this, [this] {
                centralWidget()->setEnabled(true);
                Search();
            });
            return;
        }
        Search();
    });
}

void Window1::Search() {
    sending_.Stop();
    const int result = midi::MidiLibrary::ReInitialize();
    if (result != 0) {
        const QString problem = ServiceProblemText();
        MsgBox(QStringLiteral("Error: ") + Str(result) + u'\n' +
               (problem.isEmpty() ? ErrorText(result, DeviceGoneText()) : problem));
    }
    GetMIDIWorld();
}

void Window1::Tell(const SendResult& result) {
    QString text = result.Text(DeviceGoneText());
    // Once for each listing of the devices, with the first send that reached the port layer.
    if (result.refusal.isEmpty() && !uncheckedTold_ && midi::MidiLibrary::DevicesUnchecked()) {
        uncheckedTold_ = true;
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + DevicesUncheckedText();
    }
    if (!text.isEmpty()) {
        MsgBox(text);
    }
}

// Control Change

void Window1::Slider1_ValueChanged(QSlider& control) {
    StaticText3().setText(Str(control.value()));
}

void Window1::CCnumber_TextChange(QLineEdit& control) {
    SendCC().setEnabled(Len(control.text()) >= 1);
}

void Window1::SendCC_Action(QPushButton&) { SendCCdata(); }

std::int64_t Window1::GetVelocity() const { return Slider1().value(); }

void Window1::SendCCdata() {
    const ControlChangeBuild built =
        BuildControlChange(ComboBox1().currentText(), CCnumber().text(), GetVelocity());
    Tell(SendControlChange(*s, PopupMenu1().currentIndex(), built));
}

// SysEx

void Window1::SysExField_TextChange(QLineEdit& control) {
    if (!IsActive(control)) {
        return;
    }
    const QString row = control.text();
    if (row.isEmpty()) {
        defaults_.Set(SendSysEx(), false);
        return;
    }
    defaults_.Set(SendSysEx(), true);
    SysExFieldHex().setText(HexMirror(row));
}

void Window1::SendSysEx_Action(QPushButton&) { SendSysExData(); }

void Window1::SendSysExData() { SendSysExRow(SysExField().text(), DecimalSysExBytes); }

void Window1::SendSysExRow(const QString& row, CheckedSysEx (*bytesOf)(QStringView)) {
    if (!HasEnoughSysExData(row)) {
        MsgBox(QString::fromUtf16(kNotEnoughSysEx));
        return;
    }
    sending_.After([this, row, bytesOf] {
        sending_.Start(PrepareSysExRow(*s, PopupMenu1().currentIndex(), bytesOf(row), sending_));
    });
}

// Closing, and so quitting, waits for a message going out to be handed over whole; a send that
// stops at once lets this close go through.
void Window1::closeEvent(QCloseEvent* event) {
    sending_.Stop();
    if (sending_.Busy()) {
        event->ignore();
        sending_.After([this] { close(); });
        return;
    }
    QMainWindow::closeEvent(event);
}

void Window1::SysExFieldHex_TextChange(QLineEdit& control) {
    if (!IsActive(control)) {
        return;
    }
    defaults_.Set(SendSysExHex(), Len(control.text()) >= 1);
}

void Window1::SendSysExHex_Action(QPushButton&) { SendSysExDataHex(); }

void Window1::SendSysExDataHex() { SendSysExRow(SysExFieldHex().text(), HexSysExBytes); }

void Window1::DropObject(const QByteArray& path) {
    const DroppedRow row = DroppedSyxRow(path);
    if (!row.problem.isEmpty()) {
        MsgBox(row.problem);
        return;
    }
    SysExFieldHex().setText(row.hex);
    // The user's own change of the field, as typing would be, whether or not the window is active.
    defaults_.Set(SendSysExHex(), true);
}

}  // namespace kelvane

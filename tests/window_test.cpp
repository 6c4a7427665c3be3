#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/about.h"
#include "app/app.h"
#include "midi/midi_error.h"
#include "support/recording_backend.h"
#include "text/text.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

namespace kelvane {

using testing::Input;
using testing::Output;
using Strings = std::vector<std::string>;

// One window over the recording MIDI stand-in, with message boxes captured.
struct Harness {
    explicit Harness(std::vector<midi::DeviceRecord> devices) {
        backend->devices = std::move(devices);
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
        window = std::make_unique<Window1>(&static_cast<App*>(qApp)->MenuBar());
        window->show();
        window->activateWindow();
        active = QTest::qWaitForWindowActive(window.get());
    }
    ~Harness() {
        window.reset();
        SetMsgBoxHook({});
    }
    Window1& w() { return *window; }

    testing::ScopedRecordingBackend backend;
    QStringList messages;
    bool active = false;
    std::unique_ptr<Window1> window;
};

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void layoutMatchesTheDesign();
    void tabOrderAndFocus();
    void menusAndAbout();
    void applicationIdentity();
    void noHandlerRunsAtStart();
    void discoveryListsEveryDevice_data();
    void discoveryListsEveryDevice();
    void searchRescansAndReportsFailure();
    void choosingRowsReopens();
    void sendCcWritesOneMessage_data();
    void sendCcWritesOneMessage();
    void ccNumberFieldEnablesSendCc();
    void sliderReadoutFollows();
    void decimalRowMirrorsAndSends();
    void emptyingTheRowKeepsTheMirror();
    void tooShortRowsAreRefused();
    void hexRowSends();
    void malformedSysExIsTypedButNeverSent();
    void returnPressesTheLatestDefault();
    void editPasteRaisesTextChange();
    void megabyteRowIsKeptWhole();
    void inactiveWindowIgnoresChanges();
};

void WindowTest::layoutMatchesTheDesign() {
    Harness h({});
    Window1& w = h.w();
    QCOMPARE(w.windowTitle(), QStringLiteral("Kelvane"));
    QCOMPARE(w.centralWidget()->size(), QSize(432, 270));
    QCOMPARE(w.minimumSize(), QSize(64, 64));
    QCOMPARE(w.maximumSize(), QSize(32000, 32000));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));

    const struct {
        QWidget& control;
        QRect geometry;
        QString text;
        bool enabled;
    } controls[] = {
        {w.StaticText1(), {20, 90, 67, 20}, "CC#", true},
        {w.StaticText2(), {20, 122, 67, 20}, "CC channel", true},
        {w.Slider1(), {209, 98, 162, 20}, {}, true},
        {w.StaticText3(), {383, 90, 29, 20}, "127", true},
        {w.SendCC(), {318, 122, 94, 20}, "Send CC", false},
        {w.CCnumber(), {108, 90, 41, 20}, "7", true},
        {w.StaticText4(), {20, 167, 76, 20}, "SysEx (dec)", true},
        {w.SysExField(), {108, 167, 304, 20}, "", true},
        {w.SendSysEx(), {318, 230, 94, 20}, "Send SysEx", false},
        {w.PopupMenu1(), {108, 13, 304, 20}, {}, false},
        {w.Label1(), {20, 14, 80, 20}, "Select MIDI", true},
        {w.PushButtonSearch(), {318, 45, 94, 20}, "Search MIDI", true},
        {w.Label2(), {161, 91, 36, 20}, "value", true},
        {w.ComboBox1(), {108, 122, 57, 20}, {}, true},
        {w.Line1(), {20, 77, 392, 1}, {}, true},
        {w.Line2(), {20, 154, 392, 1}, {}, true},
        {w.SysExFieldHex(), {108, 197, 304, 20}, "", true},
        {w.Label3(), {20, 197, 76, 20}, "SysEx (hex)", true},
        {w.SendSysExHex(), {108, 230, 118, 20}, "Send SysEx Hex", true},
    };
    QCOMPARE(w.centralWidget()->children().size(), qsizetype(std::size(controls)));
    for (const auto& [control, geometry, text, enabled] : controls) {
        const QString name = control.objectName();
        QVERIFY2(control.parent() == w.centralWidget(), qPrintable(name));
        QCOMPARE(control.geometry(), geometry);
        QCOMPARE(control.isEnabled(), enabled);
        if (auto* label = qobject_cast<QLabel*>(&control)) {
            QCOMPARE(label->text(), text);
            QCOMPARE(label->autoFillBackground(), name != "Label1");
        } else if (auto* button = qobject_cast<QPushButton*>(&control)) {
            QCOMPARE(button->text(), text);
            QVERIFY(!button->isDefault());
        } else if (auto* field = qobject_cast<QLineEdit*>(&control)) {
            QCOMPARE(field->text(), text);
            QVERIFY(!field->isReadOnly());
        }
    }
    QCOMPARE(w.Line1().frameShape(), QFrame::HLine);
    QCOMPARE(w.Line1().palette().color(QPalette::WindowText), QColor(Qt::black));

    QSlider& slider = w.Slider1();
    QCOMPARE(slider.minimum(), 0);
    QCOMPARE(slider.maximum(), 127);
    QCOMPARE(slider.value(), 127);
    QCOMPARE(slider.singleStep(), 1);
    QCOMPARE(slider.pageStep(), 20);
    QVERIFY(slider.hasTracking());
    QCOMPARE(slider.tickPosition(), QSlider::NoTicks);

    QComboBox& channel = w.ComboBox1();
    QVERIFY(channel.isEditable());
    QVERIFY(channel.completer() == nullptr);
    QCOMPARE(channel.count(), 16);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(channel.itemText(i), QString::number(i + 1));
    }
    QCOMPARE(channel.currentText(), QStringLiteral("1"));
    QVERIFY(!w.PopupMenu1().isEditable());
    QCOMPARE(w.PopupMenu1().count(), 0);

    // Growing the window only adds space.
    w.resize(w.size() + QSize(300, 200));
    QCOMPARE(w.SendSysEx().geometry(), QRect(318, 230, 94, 20));
}

void WindowTest::tabOrderAndFocus() {
    Harness h({});
    Window1& w = h.w();
    w.PopupMenu1().setEnabled(true);
    w.SendCC().setEnabled(true);
    w.SendSysEx().setEnabled(true);
    const QWidget* expected[] = {&w.CCnumber(),         &w.Slider1(),   &w.SendCC(),
                                 &w.SysExField(),       &w.SendSysEx(), &w.PopupMenu1(),
                                 &w.PushButtonSearch(), &w.ComboBox1(), &w.SysExFieldHex(),
                                 &w.SendSysExHex()};
    w.CCnumber().setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &w.CCnumber());
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected[i]->objectName());
    }
}

void WindowTest::menusAndAbout() {
    Harness h({});
    MenuBar1& bar = static_cast<App*>(qApp)->MenuBar();
    const struct {
        const char* name;
        QString text;
        QKeySequence shortcut;
    } items[] = {
        {"FileMenu", "&File", {}},
        {"AppleAbout", QString::fromUtf8("About\u2026"), QKeySequence("Ctrl+I")},
        {"FileQuit", "&Quit", QKeySequence("Ctrl+Q")},
        {"EditMenu", "&Edit", {}},
        {"EditUndo", "&Undo", QKeySequence("Ctrl+Z")},
        {"EditCut", "Cu&t", QKeySequence("Ctrl+X")},
        {"EditCopy", "&Copy", QKeySequence("Ctrl+C")},
        {"EditPaste", "&Paste", QKeySequence("Ctrl+V")},
        {"EditClear", "&Delete", {}},
        {"EditSelectAll", "Select &All", QKeySequence("Ctrl+A")},
    };
    for (const auto& [name, text, shortcut] : items) {
        QAction& item = h.w().MenuItem(name);
        QCOMPARE(&item, &bar.Item(name));
        QCOMPARE(item.text(), text);
        QCOMPARE(item.shortcut(), shortcut);
    }
    QVERIFY(h.w().MenuItem("UntitledMenu0").isSeparator());
    QVERIFY(h.w().MenuItem("UntitledMenu1").isSeparator());
    QCOMPARE(bar.Item("AppleAbout").menuRole(), QAction::AboutRole);
    QCOMPARE(bar.Item("FileQuit").menuRole(), QAction::QuitRole);

    QStringList order;
    for (QAction* action : h.w().MenuItem("EditMenu").menu()->actions()) {
        order << action->objectName();
    }
    QCOMPARE(order, QStringList({"EditUndo", "UntitledMenu1", "EditCut", "EditCopy", "EditPaste",
                                 "EditClear", "UntitledMenu0", "EditSelectAll"}));

    const QString about = AboutText();
    QVERIFY(about.startsWith(QStringLiteral("Kelvane 1.02\r")));
    QCOMPARE(about.split(u'\r').size(), 4);
    QVERIFY(!about.contains(u'\n'));
    QVERIFY(!about.endsWith(u'\r'));
    QVERIFY(about.split(u'\r').last().size() > 0);

    QTest::keyClick(&h.w(), Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(h.messages, QStringList{about});
    // The About item belongs to the application: it works with no window at all.
    h.window.reset();
    bar.Item("AppleAbout").trigger();
    QCOMPARE(h.messages, QStringList({about, about}));
}

void WindowTest::applicationIdentity() {
    QCOMPARE(QApplication::applicationVersion(), QStringLiteral("1.1.0"));
    QVERIFY(!QApplication::windowIcon().isNull());
    Harness h({});
    QVERIFY(!h.w().windowIcon().isNull());
}

void WindowTest::noHandlerRunsAtStart() {
    Harness h({});
    QVERIFY(!h.w().SendCC().isEnabled());  // "7" in the field ran nothing
    QVERIFY(!h.w().SendSysEx().isEnabled());
    QVERIFY(!h.w().PopupMenu1().isEnabled());
    QVERIFY(h.w().SendSysExHex().isEnabled());
    QVERIFY(h.messages.isEmpty());
}

void WindowTest::discoveryListsEveryDevice_data() {
    QTest::addColumn<std::vector<midi::DeviceRecord>>("devices");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<Strings>("calls");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("input then output")
        << std::vector{Input("In"), Output("Out")} << QStringList{"#0: (In)", "#1: to Out"}
        << Strings{"Initialize", "OpenOutput 1 10000 1"} << true;
    // Two-way ports come as an output row and then an input row: the newest output is chosen.
    QTest::newRow("interleaved") << std::vector{Output("A"), Input("A"), Output("B"), Input("B")}
                                 << QStringList{"#0: to A", "#1: (A)", "#2: to B", "#3: (B)"}
                                 << Strings{"Initialize", "OpenOutput 2 10000 1"} << true;
    QTest::newRow("inputs only") << std::vector{Input("K"), Input("L")}
                                 << QStringList{"#0: (K)", "#1: (L)"}
                                 << Strings{"Initialize", "OpenOutput 1 10000 1"} << true;
    QTest::newRow("none") << std::vector<midi::DeviceRecord>{} << QStringList{}
                          << Strings{"Initialize", "OpenOutput -1 10000 1"} << false;
    QTest::newRow("names verbatim")
        << std::vector{Output("A (to): B"), Output(""), Input("<b>x</b>"),
                       Output("\xC3\xA4\xF0\x9F\x8E\xB9")}
        << QStringList{"#0: to A (to): B", "#1: to ", "#2: (<b>x</b>)",
                       QString::fromUtf8("#3: to \u00E4\U0001F3B9")}
        << Strings{"Initialize", "OpenOutput 3 10000 1"} << true;

    std::vector<midi::DeviceRecord> twelve;
    QStringList twelveRows;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back(Output("D" + std::to_string(i)));
        twelveRows << QStringLiteral("#%1: to D%1").arg(i);
    }
    QTest::newRow("ten or more") << twelve << twelveRows
                                 << Strings{"Initialize", "OpenOutput 11 10000 1"} << true;
}

void WindowTest::discoveryListsEveryDevice() {
    QFETCH(std::vector<midi::DeviceRecord>, devices);
    QFETCH(QStringList, rows);
    QFETCH(Strings, calls);
    QFETCH(bool, enabled);
    Harness h(devices);
    QComboBox& popup = h.w().PopupMenu1();
    QStringList shown;
    for (int i = 0; i < popup.count(); ++i) {
        shown << popup.itemText(i);
    }
    QCOMPARE(shown, rows);
    QCOMPARE(h.backend->Calls(), calls);
    QCOMPARE("OpenOutput " + std::to_string(popup.currentIndex()) + " 10000 1", calls.back());
    QCOMPARE(popup.isEnabled(), enabled);
    QCOMPARE(h.w().SendCC().isEnabled(), enabled);
    QCOMPARE(h.w().SendSysEx().isEnabled(), enabled);
    QVERIFY(h.messages.isEmpty());
}

void WindowTest::searchRescansAndReportsFailure() {
    Harness h({Output("A"), Output("B")});
    h.backend->devices = {Output("A"), Output("B"), Output("C")};
    QCOMPARE(h.w().PopupMenu1().count(), 2);
    h.backend->Forget();
    h.w().PushButtonSearch().click();
    QCOMPARE(h.w().PopupMenu1().count(), 3);
    QCOMPARE(h.backend->Calls(),
             Strings({"Close 1", "Terminate", "Initialize", "OpenOutput 2 10000 1"}));

    // Everything gone: the list empties, the send buttons stay as they were.
    h.backend->devices.clear();
    h.w().PushButtonSearch().click();
    QCOMPARE(h.w().PopupMenu1().count(), 0);
    QVERIFY(!h.w().PopupMenu1().isEnabled());
    QVERIFY(h.w().SendCC().isEnabled());
    QVERIFY(h.w().SendSysEx().isEnabled());
    QVERIFY(h.messages.isEmpty());

    // A failing re-initialisation is reported, and the list is rebuilt anyway.
    h.backend->devices = {Input("K")};
    h.backend->initializeResult = midi::kHostError;
    h.w().PushButtonSearch().click();
    QCOMPARE(h.messages, QStringList{"Error: -10000\nPortMidi error -10000"});
    QCOMPARE(h.w().PopupMenu1().itemText(0), QStringLiteral("#0: (K)"));
    QVERIFY(h.backend->misuse.empty());
}

void WindowTest::choosingRowsReopens() {
    Harness h({Output("A"), Input("K"), Output("B")});
    QComboBox& popup = h.w().PopupMenu1();
    h.backend->Forget();
    for (const int row : {0, 2, 1, 2, 2}) {
        popup.setCurrentIndex(row);
        emit popup.activated(row);
    }
    QCOMPARE(h.backend->Calls(),
             Strings({"Close 2", "OpenOutput 0 10000 100", "Close 0", "OpenOutput 2 10000 100",
                      "Close 2", "OpenOutput 1 10000 100", "OpenOutput 2 10000 100"}));
    QVERIFY(h.backend->misuse.empty());
}

void WindowTest::sendCcWritesOneMessage_data() {
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("value");
    QTest::addColumn<Strings>("writes");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    // The rules themselves are tested without a window; these show the handler applies them.
    QTest::newRow("defaults") << "1"
                              << "7" << 127 << Strings{"WriteShort 0 0 B0 07 7F"} << none;
    QTest::newRow("channel 16") << "16"
                                << "0" << 0 << Strings{"WriteShort 0 0 BF 00 00"} << none;
    QTest::newRow("number 128") << "1"
                                << "128" << 5 << Strings{}
                                << QStringList{"CC number are 0 to 127 only."};
    QTest::newRow("channel 17") << "17"
                                << "7" << 5 << Strings{}
                                << QStringList{"CC channel are 1 to 16 only."};
}

void WindowTest::sendCcWritesOneMessage() {
    QFETCH(QString, channel);
    QFETCH(QString, number);
    QFETCH(int, value);
    QFETCH(Strings, writes);
    QFETCH(QStringList, messages);
    Harness h({Output("Synth")});
    h.w().ComboBox1().setEditText(channel);
    h.w().CCnumber().setText(number);
    h.w().Slider1().setValue(value);
    h.w().SendCC().setEnabled(true);
    h.backend->Forget();
    h.w().SendCC().click();
    QCOMPARE(h.backend->Calls(), writes);  // written on the stream as it is, never re-opened
    QCOMPARE(h.messages, messages);
    QCOMPARE(h.w().CCnumber().text(), number);
}

void WindowTest::ccNumberFieldEnablesSendCc() {
    Harness h({});
    QLineEdit& field = h.w().CCnumber();
    field.setFocus();
    QTest::keyClick(&field, Qt::Key_End);
    QTest::keyClick(&field, Qt::Key_Backspace);
    QVERIFY(!h.w().SendCC().isEnabled());
    QTest::keyClicks(&field, "x");
    QVERIFY(h.w().SendCC().isEnabled());
    // With no device the press writes nothing and says why.
    h.backend->Forget();
    h.w().SendCC().click();
    QVERIFY(h.backend->Writes().empty());
    QCOMPARE(h.messages, QStringList{"Could not send: no such MIDI device.\nPortMidi error -9999"});
}

void WindowTest::sliderReadoutFollows() {
    Harness h({Output("Synth")});
    QSlider& slider = h.w().Slider1();
    QSignalSpy moves(&slider, &QSlider::valueChanged);
    slider.setFocus();
    QTest::keyClick(&slider, Qt::Key_Left);
    QCOMPARE(h.w().StaticText3().text(), QStringLiteral("126"));
    QTest::keyClick(&slider, Qt::Key_PageDown);
    QCOMPARE(h.w().StaticText3().text(), QStringLiteral("106"));
    QTest::keyClick(&slider, Qt::Key_Home);
    QCOMPARE(h.w().StaticText3().text(), QStringLiteral("0"));
    QTest::keyClick(&slider, Qt::Key_Left);
    QCOMPARE(slider.value(), 0);
    QCOMPARE(moves.size(), 3);
    QVERIFY(h.backend->Writes().empty());
}

void WindowTest::decimalRowMirrorsAndSends() {
    Harness h({Output("A"), Output("B")});
    h.w().PopupMenu1().setCurrentIndex(0);
    emit h.w().PopupMenu1().activated(0);
    QLineEdit& field = h.w().SysExField();
    field.setFocus();
    QTest::keyClicks(&field, "240 126 127 6 1 247");
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 7E 7F 6 1 F7"));
    QVERIFY(h.w().SendSysEx().isDefault());
    QVERIFY(!h.w().SendSysExHex().isDefault());
    h.backend->Forget();
    h.w().SendSysEx().click();
    QCOMPARE(h.backend->Calls(),
             Strings({"Close 0", "OpenOutput 0 10000 1", "WriteSysEx 0 0 F0 7E 7F 06 01 F7"}));
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(field.text(), QStringLiteral("240 126 127 6 1 247"));
}

void WindowTest::emptyingTheRowKeepsTheMirror() {
    Harness h({Output("A")});
    QLineEdit& field = h.w().SysExField();
    field.setFocus();
    QTest::keyClicks(&field, "300 -1");
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("12C FFFFFFFFFFFFFFFF"));
    QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&field, Qt::Key_Delete);
    QCOMPARE(field.text(), QString());
    QVERIFY(!h.w().SendSysEx().isDefault());
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("12C FFFFFFFFFFFFFFFF"));
}

void WindowTest::tooShortRowsAreRefused() {
    Harness h({Output("A")});
    const QString refusal = QStringLiteral("Not enough SysEx data in the text field.");
    for (const QString& row : {QString(), QStringLiteral("12"), QStringLiteral("F0")}) {
        h.w().SysExField().setText(row);
        h.w().SysExFieldHex().setText(row);
        h.backend->Forget();
        h.w().SendSysEx().click();
        h.w().SendSysExHex().click();
        QCOMPARE(h.backend->Calls(), Strings{});
    }
    QCOMPARE(h.messages, QStringList(6, refusal));
}

void WindowTest::hexRowSends() {
    Harness h({Output("A")});
    QLineEdit& hex = h.w().SysExFieldHex();
    hex.setFocus();
    QTest::keyClicks(&hex, "f");
    QVERIFY(h.w().SendSysExHex().isDefault());
    QTest::keyClick(&hex, Qt::Key_Backspace);
    QVERIFY(!h.w().SendSysExHex().isDefault());
    QTest::keyClicks(&hex, "f0 7e 7f 06 01 f7");
    h.backend->Forget();
    h.w().SendSysExHex().click();
    QCOMPARE(h.backend->Calls(), Strings({"WriteSysEx 0 0 F0 7E 7F 06 01 F7"}));
    QVERIFY(h.messages.isEmpty());
}

void WindowTest::malformedSysExIsTypedButNeverSent() {
    Harness h({Output("A")});
    const QString rows[] = {"F0 ", "10 20", "F0 41 90 42 12 F7", "0xF0 0xF7", "F0,7E,F7", "F7 F0"};
    for (const QString& row : rows) {
        h.w().SysExFieldHex().setText(row);
        h.w().SendSysExHex().click();
    }
    h.w().SysExField().setText(QStringLiteral("240 256"));
    h.w().SendSysEx().click();
    QVERIFY(h.backend->Writes().empty());
    QCOMPARE(h.messages.size(), 7);
    for (const QString& message : h.messages) {
        QVERIFY2(message.startsWith("Nothing was sent: "), qPrintable(message));
    }
    // The stream is still good for the next message.
    h.w().SysExFieldHex().setText(QStringLiteral("F0 F7"));
    h.w().SendSysExHex().click();
    QCOMPARE(h.backend->Writes(), Strings({"WriteSysEx 0 0 F0 F7"}));
    QVERIFY(h.backend->misuse.empty());
}

void WindowTest::returnPressesTheLatestDefault() {
    Harness h({Output("A")});
    QLineEdit& dec = h.w().SysExField();
    QLineEdit& hex = h.w().SysExFieldHex();
    dec.setFocus();
    QTest::keyClicks(&dec, "240 247");
    h.backend->Forget();
    QTest::keyClick(&dec, Qt::Key_Return);
    QCOMPARE(h.backend->Writes(), Strings({"WriteSysEx 0 0 F0 F7"}));

    hex.setFocus();
    QTest::keyClick(&hex, Qt::Key_End);
    QTest::keyClicks(&hex, " F0 F7");  // both are default now; the hex one came last
    QVERIFY(h.w().SendSysEx().isDefault() && h.w().SendSysExHex().isDefault());
    h.backend->Forget();
    h.w().CCnumber().setFocus();
    QTest::keyClick(&h.w().CCnumber(), Qt::Key_Enter);
    QCOMPARE(h.backend->Writes(), Strings({"WriteSysEx 0 0 F0 F7", "WriteSysEx 0 0 F0 F7"}));
}

void WindowTest::editPasteRaisesTextChange() {
    Harness h({Output("A")});
    QLineEdit& dec = h.w().SysExField();
    dec.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &dec);
    QGuiApplication::clipboard()->setText(QStringLiteral("240 1 247"));
    h.w().MenuItem("EditPaste").trigger();
    QCOMPARE(dec.text(), QStringLiteral("240 1 247"));
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 1 F7"));
    QVERIFY(h.w().SendSysEx().isDefault());

    h.w().MenuItem("EditSelectAll").trigger();
    h.w().MenuItem("EditCut").trigger();
    QCOMPARE(dec.text(), QString());
    QVERIFY(!h.w().SendSysEx().isDefault());
    h.w().MenuItem("EditUndo").trigger();
    QCOMPARE(dec.text(), QStringLiteral("240 1 247"));

    QLineEdit& number = h.w().CCnumber();
    number.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &number);
    h.w().MenuItem("EditSelectAll").trigger();
    h.w().MenuItem("EditClear").trigger();
    QVERIFY(!h.w().SendCC().isEnabled());
}

void WindowTest::megabyteRowIsKeptWhole() {
    Harness h({Output("A")});
    QString row = QStringLiteral("240");
    while (row.size() < (1 << 20)) {
        row += QStringLiteral(" 127");
    }
    row += QStringLiteral(" 247");
    QLineEdit& dec = h.w().SysExField();
    dec.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &dec);
    QGuiApplication::clipboard()->setText(row);
    h.w().MenuItem("EditPaste").trigger();
    QCOMPARE(dec.text().size(), row.size());
    const qsizetype tokens = row.count(u' ') + 1;
    QCOMPARE(h.w().SysExFieldHex().text().count(u' ') + 1, tokens);
    h.backend->Forget();
    h.w().SendSysEx().click();
    const Strings writes = h.backend->Writes();
    QCOMPARE(writes.size(), std::size_t{1});
    QCOMPARE(qsizetype(writes[0].size()),
             qsizetype(std::string("WriteSysEx 0 0").size()) + 3 * tokens);
}

void WindowTest::inactiveWindowIgnoresChanges() {
    Harness h({Output("A")});
    auto other = std::make_unique<QWidget>();
    other->show();
    other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other.get()));
    QVERIFY(!h.w().isActiveWindow());
    QLineEdit& dec = h.w().SysExField();
    dec.setText(QStringLiteral("1"));
    emit dec.textEdited(dec.text());
    QCOMPARE(h.w().SysExFieldHex().text(), QString());
    QVERIFY(!h.w().SendSysEx().isDefault());
}

}  // namespace kelvane

int main(int argc, char** argv) {
    kelvane::App app(argc, argv);
    kelvane::WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"

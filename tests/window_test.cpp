#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/about.h"
#include "app/app.h"
#include "midi/midi_error.h"
#include "support/recording_backend.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

namespace kelvane {

using testing::Input;
using testing::Output;
using Strings = std::vector<std::string>;

App& TheApp() { return *static_cast<App*>(qApp); }

// One active window over the recording MIDI stand-in, with message boxes captured.
struct Harness {
    explicit Harness(std::vector<midi::DeviceRecord> devices) {
        backend->devices = std::move(devices);
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
        window = std::make_unique<Window1>(&TheApp().MenuBar());
        window->show();
        window->activateWindow();
        active = QTest::qWaitForWindowActive(window.get());
        backend->calls.clear();
    }
    ~Harness() {
        window.reset();
        SetMsgBoxHook({});
    }
    Window1& w() { return *window; }
    void Type(QWidget& control, const char* keys) {
        control.setFocus();
        QTest::keyClick(&control, Qt::Key_End);
        QTest::keyClicks(&control, keys);
    }
    void Choose(int row) {
        w().PopupMenu1().setCurrentIndex(row);
        emit w().PopupMenu1().activated(row);
    }
    QString Rows() {
        QStringList rows;
        for (int i = 0; i < w().PopupMenu1().count(); ++i) {
            rows << w().PopupMenu1().itemText(i);
        }
        return rows.join(u'|');
    }

    testing::ScopedRecordingBackend backend;
    QStringList messages;
    bool active = false;
    std::unique_ptr<Window1> window;
};

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsAsDesignedWithNoHandlerRun();
    void discoveryListsEveryDeviceAndRescans();
    void controlChangeSendsWhatTheControlsHold();
    void sysExFieldsMirrorAndSend();
    void badRowsAreNeverSent();
    void failedSendsShowPortMidisText();
    void droppedSyxFileFillsTheHexField();
    void editMenuActsOnTheFocusedField();
    void messageBoxShowsPlainTextLines();
    void runShowsTheWindowUntilQuit();
    void longSendIsPacedAndStopsForAChoiceOrSearch();
};

void WindowTest::startsAsDesignedWithNoHandlerRun() {
    Harness h({});
    QVERIFY(h.active);
    QCOMPARE(h.w().windowTitle(), QStringLiteral("Kelvane"));
    QCOMPARE(h.w().centralWidget()->size(), QSize(432, 270));
    // name=text shown; '!' marks a control that starts disabled. "7" in CCnumber ran nothing.
    const QString controls = QStringLiteral(
        "StaticText1=CC#|StaticText2=CC channel|StaticText3=127|!SendCC=Send CC|CCnumber=7|"
        "StaticText4=SysEx (dec)|SysExField=|!SendSysEx=Send SysEx|!PopupMenu1=|"
        "Label1=Select MIDI|Label2=value|ComboBox1=1|SysExFieldHex=|Label3=SysEx (hex)|"
        "SendSysExHex=Send SysEx Hex|PushButtonSearch=Search MIDI");
    for (const QString& entry : controls.split(u'|')) {
        const auto* control =
            h.w().centralWidget()->findChild<QWidget*>(entry.section(u'=', 0, 0).remove(u'!'));
        QVERIFY2(control != nullptr, qPrintable(entry));
        const char* text = control->inherits("QComboBox") ? "currentText" : "text";
        QCOMPARE(control->property(text).toString(), entry.section(u'=', 1));
        QCOMPARE(control->isEnabled(), !entry.startsWith(u'!'));
        QVERIFY(!control->property("default").toBool());
    }
    QCOMPARE(h.w().ComboBox1().itemText(15), QStringLiteral("16"));
    QVERIFY(h.w().minimumSize() == QSize(64, 64) && h.w().maximumSize() == QSize(32000, 32000));
    // Screen readers name each input after the label beside it.
    const std::pair<QWidget*, QLabel*> named[] = {
        {&h.w().CCnumber(), &h.w().StaticText1()},  {&h.w().Slider1(), &h.w().Label2()},
        {&h.w().ComboBox1(), &h.w().StaticText2()}, {&h.w().SysExField(), &h.w().StaticText4()},
        {&h.w().SysExFieldHex(), &h.w().Label3()},  {&h.w().PopupMenu1(), &h.w().Label1()}};
    for (const auto& [control, label] : named) {
        QCOMPARE(control->accessibleName(), label->text());
    }

    h.w().PopupMenu1().setEnabled(true);
    h.w().SendCC().setEnabled(true);
    h.w().SendSysEx().setEnabled(true);
    h.w().CCnumber().setFocus();
    for (const QString& next : QStringLiteral("CCnumber Slider1 SendCC SysExField SendSysEx "
                                              "PopupMenu1 PushButtonSearch ComboBox1 "
                                              "SysExFieldHex SendSysExHex CCnumber")
                                   .split(u' ')) {
        QCOMPARE(QApplication::focusWidget()->objectName(), next);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }

    QString menus;  // text and shortcut of every item, in order
    for (const char* menu : {"FileMenu", "EditMenu"}) {
        for (const QAction* item : h.w().MenuItem(menu).menu()->actions()) {
            menus += item->text() + u' ' + item->shortcut().toString() + u'|';
        }
    }
    QCOMPARE(menus, QStringLiteral("About\u2026 Ctrl+I|&Quit Ctrl+Q|&Undo Ctrl+Z| |Cu&t Ctrl+X|"
                                   "&Copy Ctrl+C|&Paste Ctrl+V|&Delete | |Select &All Ctrl+A|"));
    QCOMPARE(h.w().MenuItem("AppleAbout").menuRole(), QAction::AboutRole);
    QCOMPARE(h.w().MenuItem("FileQuit").menuRole(), QAction::QuitRole);
    // What desktops show for the program: its name, the entry it belongs to, its icon.
    QCOMPARE(QApplication::applicationName() + u' ' + QGuiApplication::desktopFileName(),
             QStringLiteral("Kelvane org.kelvane.Kelvane"));
    QVERIFY(!h.w().windowIcon().pixmap(32).isNull());
    QVERIFY(h.messages.isEmpty());
    QTest::keyClick(&h.w(), Qt::Key_I, Qt::ControlModifier);
    h.window.reset();  // About belongs to the application, not to the window
    TheApp().MenuBar().Item("AppleAbout").trigger();
    QCOMPARE(h.messages, QStringList(2, AboutText()));
    QVERIFY(AboutText().startsWith(QStringLiteral("Kelvane 1.02\r")));
}

void WindowTest::discoveryListsEveryDeviceAndRescans() {
    // start: the newest output; a two-way port lists as an output row, then an input row.
    const std::tuple<std::vector<midi::DeviceRecord>, QString, int> cases[] = {
        {{}, "", -1},
        {{Output("A"), Input("A"), Output("B"), Input("B")},
         "#0: to A|#1: (A)|#2: to B|#3: (B)",
         2},
        {{Input("K"), Input("L")}, "#0: (K)|#1: (L)", 1},
        {{Input("<b>x</b>"), Output("\xC3\xA4"), Output("")},
         "#0: (<b>x</b>)|#1: to \u00E4|#2: to ",
         2}};
    for (const auto& [devices, rows, start] : cases) {
        Harness h(devices);
        QCOMPARE(h.Rows(), rows);
        const int count = int(devices.size());
        QCOMPARE(h.w().PopupMenu1().currentIndex(), start);
        QCOMPARE(h.w().PopupMenu1().isEnabled(), count > 0);
        QVERIFY(h.w().SendCC().isEnabled() == (count > 0) &&
                h.w().SendSysEx().isEnabled() == (count > 0));
        h.backend->devices.push_back(Output("New"));
        h.w().PushButtonSearch().click();
        QVERIFY(h.Rows().endsWith(QStringLiteral("#%1: to New").arg(count)));
        QCOMPARE(h.backend->calls.back(), "OpenOutput " + std::to_string(count) + " 10000 1");
    }

    // Everything gone: the list empties, the send buttons stay as they were.
    Harness h({Output("A")});
    h.backend->devices.clear();
    h.w().PushButtonSearch().click();
    QVERIFY(!h.w().PopupMenu1().isEnabled() && h.w().SendCC().isEnabled());
    QCOMPARE(h.backend->calls,
             Strings({"Close 0", "Terminate", "Initialize", "OpenOutput -1 10000 1"}));
    // A failing re-initialisation is reported, and the list is rebuilt anyway.
    h.backend->devices = {Input("K")};
    h.backend->initializeResult = midi::kHostError;
    h.w().PushButtonSearch().click();
    QCOMPARE(h.messages, QStringList{"Error: -10000\nPortMidi error -10000"});
    QCOMPARE(h.Rows(), QStringLiteral("#0: (K)"));
    // PortMidi starts without a MIDI service and says nothing; the list and Search say why.
    h.backend->initializeResult = midi::kNoError;
    h.backend->serviceProblem = "no sequencer";
    h.w().PushButtonSearch().click();
    QCOMPARE(h.messages.last(), "Error: -10000\nNo MIDI service: no sequencer.");
    QCOMPARE(h.w().PopupMenu1().placeholderText(), "No MIDI service: no sequencer.");
    QCOMPARE(h.w().PopupMenu1().toolTip(), h.w().PopupMenu1().placeholderText());
}

// The rules are tested without a window; this shows the handlers apply them.
void WindowTest::controlChangeSendsWhatTheControlsHold() {
    Harness h({Output("A"), Input("K"), Output("B")});
    for (const int row : {0, 1, 2, 2}) {
        h.Choose(row);
    }
    h.w().Slider1().setValue(5);
    const char* cases[][3] = {{"1", "7", "WriteShort 2 0 B0 07 05"},
                              {"16", "0", "WriteShort 2 0 BF 00 05"},
                              {"1", "128", "CC number are 0 to 127 only."},
                              {"17", "7", "CC channel are 1 to 16 only."}};
    for (const auto& [channel, number, result] : cases) {
        h.w().ComboBox1().setEditText(channel);
        h.w().CCnumber().setText(number);
        h.w().SendCC().click();
    }
    QCOMPARE(h.backend->calls,
             Strings({"Close 2", "OpenOutput 0 10000 100", "Close 0", "OpenOutput 1 10000 100",
                      "OpenOutput 2 10000 100", cases[0][2], cases[1][2]}));
    QCOMPARE(h.messages, QStringList({cases[2][2], cases[3][2]}));

    h.Type(h.w().CCnumber(), "\b");
    QVERIFY(!h.w().SendCC().isEnabled());
    h.Type(h.w().CCnumber(), "x");
    QVERIFY(h.w().SendCC().isEnabled());
    QCOMPARE(h.w().StaticText3().text(), QStringLiteral("5"));
}

void WindowTest::sysExFieldsMirrorAndSend() {
    Harness h({Output("A"), Output("B")});
    h.Choose(0);
    h.Type(h.w().SysExField(), "240 300 -1 6 1 247");
    const QString mirror = QStringLiteral("F0 12C FFFFFFFFFFFFFFFF 6 1 F7");
    QCOMPARE(h.w().SysExFieldHex().text(), mirror);
    QVERIFY(h.w().SendSysEx().isDefault() && !h.w().SendSysExHex().isDefault());
    h.w().SysExField().setText(QStringLiteral("240 126 127 6 1 247"));
    h.backend->calls.clear();
    QTest::keyClick(&h.w().SysExField(), Qt::Key_Return);  // the default button
    h.w().SendSysEx().click();
    QCOMPARE(h.backend->calls,
             Strings({"Close 0", "OpenOutput 0 10000 1", "WriteSysEx 0 0 F0 7E 7F 06 01 F7",
                      "WriteSysEx 0 0 F0 7E 7F 06 01 F7"}));
    h.w().SysExField().selectAll();  // emptied: no default, the mirror stays
    QTest::keyClick(&h.w().SysExField(), Qt::Key_Delete);
    QVERIFY(!h.w().SendSysEx().isDefault());
    QCOMPARE(h.w().SysExFieldHex().text(), mirror);

    h.Type(h.w().SysExField(), "240 247");
    h.w().SysExFieldHex().clear();
    h.Type(h.w().SysExFieldHex(), "f");
    QVERIFY(h.w().SendSysExHex().isDefault());
    h.backend->calls.clear();
    h.Type(h.w().SysExFieldHex(), "\b\r");  // the decimal row's button is default again
    QVERIFY(!h.w().SendSysExHex().isDefault());
    h.Type(h.w().SysExFieldHex(), "f0 7f f7");  // both are default; the latest one wins
    h.Type(h.w().CCnumber(), "\r");
    h.w().PushButtonSearch().click();  // closing waits until the block has left
    QTRY_VERIFY(h.backend->calls.size() >= 4);
    QCOMPARE(Strings(h.backend->calls.begin(), h.backend->calls.begin() + 4),
             Strings({"WriteSysEx 0 0 F0 F7", "WriteSysEx 0 0 F0 7F F7", "Sleep 26", "Close 0"}));
    QVERIFY(h.messages.isEmpty());

    QWidget other;  // changes while another window is active run nothing
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    h.w().SysExField().setText(QStringLiteral("1"));
    emit h.w().SysExField().textEdited(QStringLiteral("1"));
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("f0 7f f7"));
    QTest::keyClick(&other, Qt::Key_I, Qt::ControlModifier);  // About works from any window
    QCOMPARE(h.messages, QStringList{AboutText()});
}

void WindowTest::badRowsAreNeverSent() {
    Harness h({Output("A")});
    for (const QString& row : {QString(), QStringLiteral("12"), QStringLiteral("F0")}) {
        h.w().SysExField().setText(row);
        h.w().SysExFieldHex().setText(row);
        h.w().SendSysEx().click();
        h.w().SendSysExHex().click();
    }
    QCOMPARE(h.messages,
             QStringList(6, QStringLiteral("Not enough SysEx data in the text field.")));
    for (const char* row : {"F0 ", "10 20", "F0 41 90 42 12 F7", "0xF0 0xF7", "F7 F0"}) {
        h.w().SysExFieldHex().setText(QString::fromLatin1(row));
        h.w().SendSysExHex().click();
    }
    h.w().SysExField().setText(QStringLiteral("240 256"));
    h.w().SendSysEx().click();
    h.w().SysExFieldHex().setText(QStringLiteral("F0 F7 "));  // the stream is still good
    h.w().SendSysExHex().click();
    QCOMPARE(h.backend->Writes(), Strings({"WriteSysEx 0 0 F0 F7"}));
    QVERIFY(h.backend->misuse.empty());
    // One box for each refused row, the first problem and where; the field keeps its text.
    QCOMPARE(h.messages.size(), 12);
    QCOMPARE(h.messages[8], "Nothing was sent: byte 3 (90) is not a data byte 00–7F.");
    QCOMPARE(h.w().SysExField().text(), QStringLiteral("240 256"));
}

void WindowTest::failedSendsShowPortMidisText() {
    Harness h({Output("A"), Input("K")});
    h.backend->failingWrites = 2;
    h.backend->hostErrorText = "gone";
    h.w().SendCC().click();
    h.w().SysExFieldHex().setText(QStringLiteral("F0 F7"));
    h.w().SendSysExHex().click();
    h.Choose(1);  // no output: the open fails, and the sends say so
    h.w().SendCC().click();
    h.w().SysExField().setText(QStringLiteral("240 247"));
    h.w().SendSysEx().click();
    const QString write =
        QStringLiteral("Could not send to #0: to A.\nPortMidi error -10000: gone");
    const QString open = QStringLiteral("Could not send to #1: (K).\nPortMidi error -9999");
    QCOMPARE(h.messages, QStringList({write, write, open, open}));
    h.Choose(0);  // nothing retried behind the user's back; a send that works stays silent
    h.w().SendSysEx().click();
    QCOMPARE(h.backend->Writes(),
             Strings({"WriteShort 0 0 B0 07 7F", "WriteSysEx 0 0 F0 F7", "WriteSysEx 0 0 F0 F7"}));
    QCOMPARE(h.messages.size(), 4);
}

void WindowTest::droppedSyxFileFillsTheHexField() {
    Harness h({Output("A")});
    const QTemporaryDir dir;
    const auto drop = [&h, &dir](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file.fileName())});
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(QApplication::sendEvent(&h.w().SysExFieldHex(), &enter) && enter.isAccepted());
        QApplication::sendEvent(&h.w().SysExFieldHex(), &dropped);
    };
    drop("dump.syx", QByteArray("\xF0\x41\x10\xF7\xF0\xF7"));
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 41 10 F7 F0 F7"));
    QVERIFY(h.w().SendSysExHex().isDefault());
    drop("open.SYX", QByteArray("\xF0\x41"));
    drop("empty.syx", {});
    QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 41 10 F7 F0 F7"));
    QCOMPARE(h.messages, QStringList({"open.SYX: the file is not complete SysEx messages: the "
                                      "message starting at byte 1 has no closing F7.",
                                      "empty.syx: the file is empty."}));
}

void WindowTest::editMenuActsOnTheFocusedField() {
    Harness h({Output("A")});
    h.w().SysExField().setFocus();
    QString row = QStringLiteral("240");  // a megabyte, kept whole
    while (row.size() < (1 << 20)) {
        row += QStringLiteral(" 127");
    }
    QGuiApplication::clipboard()->setText(row + QStringLiteral(" 247"));
    h.w().MenuItem("EditPaste").trigger();
    QCOMPARE(h.w().SysExFieldHex().text().size(), 2 + (row.size() / 4) * 3 + 3);
    h.w().SendSysEx().click();
    h.w().ProgressDialog()->SendButton().click();  // after a word on its length
    QCOMPARE(h.backend->Writes().at(0).size(), 14 + 3 * (row.size() / 4 + 2));

    h.w().MenuItem("EditSelectAll").trigger();
    h.w().MenuItem("EditCut").trigger();
    QVERIFY(h.w().SysExField().text().isEmpty() && !h.w().SendSysEx().isDefault());
    h.w().MenuItem("EditUndo").trigger();
    QCOMPARE(h.w().SysExField().text().size(), row.size() + 4);
    h.w().CCnumber().setFocus();
    h.w().MenuItem("EditSelectAll").trigger();
    h.w().MenuItem("EditClear").trigger();
    QVERIFY(!h.w().SendCC().isEnabled());
}

void WindowTest::messageBoxShowsPlainTextLines() {
    QString shown;  // text, format and buttons of the box
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = QStringLiteral("%1 %2 %3")
                        .arg(box->text())
                        .arg(box->textFormat())
                        .arg(box->standardButtons());
            box->button(QMessageBox::Ok)->click();
        }
    });
    MsgBox(QStringLiteral("<b>Synth</b>\rError: -1"));
    QCOMPARE(
        shown,
        QStringLiteral("<b>Synth</b>\nError: -1 %1 %2").arg(Qt::PlainText).arg(QMessageBox::Ok));
}

void WindowTest::longSendIsPacedAndStopsForAChoiceOrSearch() {
    Harness h({Output("A"), Output("B")});
    const QString message = QStringLiteral("F0") + QStringLiteral(" 01").repeated(254) + " F7";
    h.w().SysExFieldHex().setText((message + u' ').repeated(31) + message);  // 8 KiB
    h.w().SendSysExHex().click();
    QCOMPARE(h.backend->Writes().size(), std::size_t{16});  // 4 KiB at once
    QVERIFY(h.w().ProgressDialog()->isVisible());
    h.backend->nowMs += 200;  // two more are due
    QTRY_COMPARE(h.backend->Writes().size(), std::size_t{18});
    h.Choose(0);
    QTRY_VERIFY(h.w().ProgressDialog() == nullptr);
    QCOMPARE(h.backend->Writes().size(), std::size_t{18});
    QCOMPARE(h.backend->calls.back(), "OpenOutput 0 10000 100");

    // A rescan waits, without blocking, until what was written has left.
    h.w().PushButtonSearch().click();
    QVERIFY(!h.w().PushButtonSearch().isEnabled());
    QTRY_VERIFY(h.w().PushButtonSearch().isEnabled());
    QCOMPARE(h.backend->calls.back(), "OpenOutput 1 10000 1");
    QVERIFY(h.messages.isEmpty() && h.backend->misuse.empty());
}

void WindowTest::runShowsTheWindowUntilQuit() {
    testing::ScopedRecordingBackend backend;
    bool shown = false;
    QWidget other;
    QTimer::singleShot(0, [&shown, &other] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            shown = shown || (qobject_cast<Window1*>(top) != nullptr && top->isVisible());
        }
        other.show();
        other.activateWindow();
        if (QTest::qWaitForWindowActive(&other)) {
            QTest::keyClick(&other, Qt::Key_Q, Qt::ControlModifier);  // from any window
        }
    });
    QTimer stuck;
    stuck.callOnTimeout([] { QCoreApplication::exit(99); });
    stuck.start(5000);
    QCOMPARE(TheApp().Run(), 0);
    QVERIFY(shown);
}

}  // namespace kelvane

int main(int argc, char** argv) {
    kelvane::App app(argc, argv);
    kelvane::WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"

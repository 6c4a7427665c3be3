#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>

#include "app/app.h"
#include "midi/midi_error.h"
#include "midi/paced_sender.h"
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
    explicit Harness(std::vector<midi::MidiDeviceInfo> devices) : backend(std::move(devices)) {
        SetMsgBoxHook([this](const QString& text) { messages.append(text); });
        window = std::make_unique<Window1>(&TheApp().MenuBar());
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        atStart = std::exchange(backend->calls, {});
    }
    ~Harness() { SetMsgBoxHook({}); }  // the window, declared last, goes first
    Window1& w() { return *window; }
    // Types over the whole text of the field: "\b" empties it, "\r" is Return.
    void Type(QLineEdit& field, const char* keys) {
        field.setFocus();
        field.selectAll();
        QTest::keyClicks(&field, keys);
    }
    QString Rows() {
        QStringList rows;
        for (int i = 0; i < w().PopupMenu1().count(); ++i) {
            rows << w().PopupMenu1().itemText(i);
        }
        return rows.join(u'|');
    }

    testing::ScopedRecordingBackend backend;
    Strings atStart;  // what opening the window did at the port
    QStringList messages;
    std::unique_ptr<Window1> window;
};

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsAreLaidOutAndNamed() {
        Harness h({Output("A")});
        QCOMPARE(h.w().centralWidget()->size(), QSize(432, 270));
        // name=text=accessible name, which screen readers take from the label beside the input.
        const QString controls = QStringLiteral(
            "StaticText1=CC#|CCnumber=7=CC#|StaticText2=CC channel|ComboBox1=1=CC channel|"
            "Label2=value|Slider1==value|StaticText3=127|SendCC=Send CC|StaticText4=SysEx (dec)|"
            "SysExField==SysEx (dec)|SendSysEx=Send SysEx|Label3=SysEx (hex)|"
            "SysExFieldHex==SysEx (hex)|SendSysExHex=Send SysEx Hex|Label1=Select MIDI|"
            "PopupMenu1=#0: to A=Select MIDI|PushButtonSearch=Search MIDI");
        for (const QString& entry : controls.split(u'|')) {
            const QStringList parts = entry.split(u'=');
            const auto* control = h.w().centralWidget()->findChild<QWidget*>(parts[0]);
            QVERIFY2(control != nullptr, qPrintable(entry));
            const char* text = control->inherits("QComboBox") ? "currentText" : "text";
            QCOMPARE(control->property(text).toString(), parts[1]);
            QCOMPARE(control->accessibleName(), parts.value(2));
            QVERIFY(control->isEnabled() && !control->property("default").toBool());
        }
    }

    void tabGoesRoundTheControls() {
        Harness h({Output("A")});
        const QString tabOrder =
            "CCnumber Slider1 SendCC SysExField SendSysEx PopupMenu1 "
            "PushButtonSearch ComboBox1 SysExFieldHex SendSysExHex CCnumber";
        h.w().CCnumber().setFocus();
        for (const QString& next : tabOrder.split(u' ')) {
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }

    void menusHoldTheirItemsAndShortcuts() {
        Harness h({Output("A")});
        QString menus;
        for (const char* menu : {"FileMenu", "EditMenu"}) {
            QCOMPARE(h.w().MenuItem(menu).menu()->objectName(), menu);
            for (const QAction* item : h.w().MenuItem(menu).menu()->actions()) {
                menus += item->text() + u' ' + item->shortcut().toString() + u'|';
            }
        }
        QCOMPARE(menus,
                 QStringLiteral("About\u2026 Ctrl+I|&Quit Ctrl+Q|&Undo Ctrl+Z| |Cu&t Ctrl+X|"
                                "&Copy Ctrl+C|&Paste Ctrl+V|&Delete | |Select &All Ctrl+A|"));
    }

    // As the desktop shows the window: its title, the program's name, its desktop entry, its icon.
    void windowCarriesTheProgramsNameAndIcon() {
        Harness h({Output("A")});
        QCOMPARE(h.w().windowTitle() + u' ' + QApplication::applicationName() + u' ' +
                     QGuiApplication::desktopFileName(),
                 "Kelvane Kelvane org.kelvane.Kelvane");
        QVERIFY(!h.w().windowIcon().pixmap(32).isNull());
    }

    void discoveryListsEveryDeviceAndRescans() {
        // start: the newest output; a two-way port lists as an output row, then an input row. The
        // stream opens on the start row at once, at the latency of a choice.
        const std::tuple<std::vector<midi::MidiDeviceInfo>, QString, int> cases[] = {
            {{}, "", -1},
            {{Output("A"), Input("A"), Input("K")}, "#0: to A|#1: (A)|#2: (K)", 0},
            {{Input("K"), Input("\xC3\xA4")}, "#0: (K)|#1: (\u00E4)", 1}};
        for (const auto& [devices, rows, start] : cases) {
            Harness h(devices);
            QCOMPARE(h.Rows(), rows);
            QCOMPARE(h.w().PopupMenu1().currentIndex(), start);
            QCOMPARE(h.atStart,
                     Strings({"Initialize", "OpenOutput " + std::to_string(start) + " 10000 1"}));
            const bool any = !devices.empty();
            QVERIFY(h.w().PopupMenu1().isEnabled() == any && h.w().SendCC().isEnabled() == any &&
                    h.w().SendSysEx().isEnabled() == any);
        }

        // A failing re-initialisation is told, the list rebuilt anyway, the send buttons kept.
        Harness h({Output("A")});
        h.backend->devices.clear();
        h.backend->initializeResult = midi::kHostError;
        h.w().PushButtonSearch().click();
        QCOMPARE(h.messages, QStringList{"Error: -10000\nPortMidi error -10000"});
        QVERIFY(h.Rows().isEmpty() && !h.w().PopupMenu1().isEnabled() &&
                h.w().SendCC().isEnabled());
        // PortMidi starts without a MIDI service and says nothing; the list and Search say why.
        h.backend->initializeResult = midi::kNoError;
        h.backend->serviceProblem = "no sequencer";
        h.w().PushButtonSearch().click();
        QCOMPARE(h.messages.last(), "Error: -10000\nNo MIDI service: no sequencer.");
        QCOMPARE(h.w().PopupMenu1().placeholderText(), "No MIDI service: no sequencer.");
    }

    // The rules are tested without a window; this shows the handlers apply them.
    void controlsSendWhatTheyHold() {
        Harness h({Output("A"), Output("B")});
        QTest::keyClick(&h.w().PopupMenu1(), Qt::Key_Up);  // the user's choice: #0
        QLineEdit& dec = h.w().SysExField();
        QLineEdit& hex = h.w().SysExFieldHex();
        QWidget elsewhere;  // active instead of the window: its SysEx fields then change nothing
        // Keys typed over a field; the hex field then, and whether each send button is default.
        const std::tuple<QLineEdit*, const char*, const char*, bool, bool, bool> steps[] = {
            {&h.w().CCnumber(), "\r", "", false, false, true},  // no default button yet
            {&dec, "240 126 127 6 1 247\r", "F0 7E 7F 6 1 F7", true, false, true},
            {&dec, "\b", "F0 7E 7F 6 1 F7", false, false, true},  // emptied: the mirror stays
            {&dec, "240 247", "F0 F7", true, false, true},
            {&hex, "f\b\r", "", true, false, true},  // the decimal row's button is default again
            {&hex, "f0 7f f7", "f0 7f f7", true, true, true},
            {&h.w().CCnumber(), "\r", "f0 7f f7", true, true, true},  // the latest default wins
            {&dec, "\b", "f0 7f f7", true, true, false},
            {&hex, "\b", "", true, true, false}};
        for (const auto& [field, keys, shown, decDefault, hexDefault, active] : steps) {
            if (!active && !elsewhere.isActiveWindow()) {
                elsewhere.show();
                elsewhere.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
            }
            h.Type(*field, keys);
            QCOMPARE(hex.text(), QString::fromLatin1(shown));
            QCOMPARE(h.w().SendSysEx().isDefault(), decDefault);
            QCOMPARE(h.w().SendSysExHex().isDefault(), hexDefault);
        }

        h.w().Slider1().setValue(5);
        // A CC number and channel, and what the window says of them: nothing when sent.
        const QString number = "CC number are 0 to 127 only.";
        const QString channel = "CC channel are 1 to 16 only.";
        const std::tuple<const char*, const char*, QString> ccs[] = {
            {"0", "16", ""},       {"0", "17", channel}, {"0", "0", channel},
            {"0", "", channel},    {"128", "1", number}, {"-1", "1", number},
            {"-0.5", "1", number}, {"127.9", "1.5", ""}};
        for (const auto& [typedNumber, typedChannel, told] : ccs) {
            h.messages.clear();
            h.w().ComboBox1().setEditText(typedChannel);
            h.w().CCnumber().setText(typedNumber);
            h.w().SendCC().click();
            QCOMPARE(h.messages.value(0), told);
        }
        QCOMPARE(h.backend->calls,
                 Strings({"Close 1", "OpenOutput 0 10000 100", "Close 0", "OpenOutput 0 10000 1",
                          "WriteSysEx 0 0 F0 7E 7F 06 01 F7", "WriteSysEx 0 0 F0 F7",
                          "WriteSysEx 0 0 F0 7F F7", "WriteShort 0 0 BF 00 05",
                          "WriteShort 0 0 B0 7F 05"}));
        QCOMPARE(h.w().StaticText3().text(), QStringLiteral("5"));
        h.backend->nowMs += 1000;  // the port has taken it all: every send has ended
        QTRY_VERIFY(h.w().findChildren<midi::PacedSender*>().isEmpty());
    }

    void sendsThatDoNotGoOutSayWhy() {
        Harness h({Output("A"), Input("K")});
        QLineEdit& dec = h.w().SysExField();
        QLineEdit& hex = h.w().SysExFieldHex();
        h.backend->failingWrites = 2;
        for (const char* row : {"F0", "1 2", "F0 1"}) {  // too short, then long enough but no SysEx
            hex.setText(QString::fromLatin1(row));
            h.w().SendSysExHex().click();
        }
        dec.setText(QStringLiteral("240 65 144 247"));
        h.w().SendSysEx().click();
        QCOMPARE(dec.text(), QStringLiteral("240 65 144 247"));  // kept, to be put right
        h.w().SendCC().click();
        h.Type(hex, "F0 F7 \r");
        QTest::keyClick(&h.w().PopupMenu1(), Qt::Key_Down);  // #1, no output: the open fails
        h.w().SendCC().click();
        h.Type(dec, "240 247\r");
        QTest::keyClick(&h.w().PopupMenu1(), Qt::Key_Up);  // #0 again
        h.backend->goodWrites = 1;
        h.backend->failingWrites = 1;
        h.Type(hex, "F0 F7 F0 01 F7\r");  // its second message fails
        const QString write = "Could not send to #0: to A.\nPortMidi error -10000";
        const QString open = "Could not send to #1: (K).\nPortMidi error -9999";
        const QString refused = "Nothing was sent: byte 3 (144) is not a data byte 00–7F.";
        QTRY_COMPARE(h.messages.size(), 9);
        // No time passes for the stand-in: the port has taken nothing of what was handed over.
        QCOMPARE(h.messages,
                 QStringList({"Not enough SysEx data in the text field.",
                              "Nothing was sent: the row does not start with F0 (byte 1 is 1).",
                              "Nothing was sent: the message starting at byte 1 has no closing F7.",
                              refused, write, write, open, open,
                              write + "\n0 of 5 bytes (0 of 2 messages) had been sent."}));
        h.w().SendSysEx().click();  // nothing retried, success silent
        QCOMPARE(h.backend->Writes(),
                 Strings({"WriteShort 0 0 B0 07 7F", "WriteSysEx 0 0 F0 F7", "WriteSysEx 0 0 F0 F7",
                          "WriteSysEx 0 0 F0 01 F7", "WriteSysEx 0 0 F0 F7"}));
        QVERIFY(h.messages.size() == 9 && h.backend->misuse.empty());
    }

    // Sent means taken by the port: a device that leaves before is told with what it had taken,
    // and so is the next send. Where leaving cannot be told, the first send after a listing says.
    void aDeviceThatLeavesOnTheWayIsTold() {
        Harness h({Output("A")});
        h.w().SysExFieldHex().setText(QStringLiteral("F0 01 02 03 04 05 06 F7"));
        h.w().SendSysExHex().click();  // handed over at once; the port takes it in 3 ms
        h.backend->nowMs += 2;
        h.backend->gone = {0};
        const QString gone =
            "Could not send to #0: to A.\nThe device is gone; Search MIDI lists the devices anew.";
        QTRY_COMPARE(h.messages,
                     QStringList{gone + "\n5 of 8 bytes (0 of 1 messages) had been sent."});
        h.w().SendCC().click();
        QCOMPARE(h.messages.last(), gone);

        h.backend->gone.clear();
        h.backend->unchecked = true;
        h.w().PushButtonSearch().click();
        QTRY_VERIFY(h.w().PushButtonSearch().isEnabled());
        h.w().SendCC().click();
        h.w().SendCC().click();
        const QString unchecked =
            "Kelvane cannot tell whether the device leaves: the MIDI service's ports did not match "
            "PortMidi's list.";
        QCOMPARE(h.messages, QStringList({h.messages.first(), gone, unchecked}));
    }

    void droppedSyxFileFillsTheHexField() {
        Harness h({Output("A")});
        const QTemporaryDir dir;
        // name: bytes, as the file system has them.
        const auto drop = [&h, &dir](const char* name, const QByteArray& bytes) {
            const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
            std::ofstream(path.constData()) << bytes.toStdString();
            QMimeData mime;
            mime.setUrls({QUrl::fromEncoded("file://" + path.toPercentEncoding("/"))});
            QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QDropEvent dropped({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            const QString before = h.w().SysExFieldHex().text();  // passing over reads nothing
            QVERIFY(QApplication::sendEvent(&h.w().SysExFieldHex(), &enter) && enter.isAccepted() &&
                    h.w().SysExFieldHex().text() == before);
            QApplication::sendEvent(&h.w().SysExFieldHex(), &dropped);
        };
        drop("dump.syx", QByteArray("\xF0\x41\x10\xF7\xF0\xF7"));
        QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 41 10 F7 F0 F7"));
        QVERIFY(h.w().SendSysExHex().isDefault());
        drop("op\xE9n.SYX", QByteArray("\xF0\x41"));  // a name that is not UTF-8
        QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 41 10 F7 F0 F7"));
        QCOMPARE(h.messages, QStringList{"op\uFFFDn.SYX: the file is not complete SysEx messages: "
                                         "the message starting at byte 1 has no closing F7."});
        drop("big.syx", "\xF0" + QByteArray(65535, 0x01) + "\xF7");  // too long a row to edit
        QCOMPARE(h.w().SysExFieldHex().text(), QStringLiteral("F0 41 10 F7 F0 F7"));
        QCOMPARE(h.messages.last(),
                 "big.syx: the file has 65537 bytes, and the window takes up to "
                 "65536; kelvane --syx FILE sends it.");
    }

    void editMenuActsOnTheFocusedField() {
        Harness h({Output("A")});
        const int bytes = (1 << 18) + 2;  // a megabyte of text, kept whole
        const QString row = "240" + QStringLiteral(" 127").repeated(bytes - 2) + " 247";
        QGuiApplication::clipboard()->setText(row);
        h.w().SysExField().setFocus();
        h.w().MenuItem("EditPaste").trigger();
        h.w().SendSysEx().click();
        // One message going out piece by piece, 16 KiB in the first write; it cannot be recalled,
        // so closing waits for it, and the dialog says so, wrapped to fit a screen.
        QCOMPARE(h.backend->Writes().size(), std::size_t{16});
        QVERIFY(!h.w().close() && h.w().ProgressDialog()->isVisible() &&
                h.w().ProgressDialog()->width() < 640);
        QCOMPARE(h.w().ProgressDialog()->findChild<QProgressBar*>()->value(), 16384 * 1000 / bytes);
        QVERIFY(h.w().ProgressDialog()->findChild<QLabel*>()->text().endsWith(
            "\nStopping after the message going out, which cannot be recalled."));

        h.w().MenuItem("EditSelectAll").trigger();
        h.w().MenuItem("EditCut").trigger();
        QVERIFY(h.w().SysExField().text().isEmpty() && !h.w().SendSysEx().isDefault());
        h.w().MenuItem("EditUndo").trigger();
        QCOMPARE(h.w().SysExField().text(), row);
        h.w().CCnumber().setFocus();
        h.w().MenuItem("EditSelectAll").trigger();
        h.w().MenuItem("EditClear").trigger();
        QVERIFY(!h.w().SendCC().isEnabled());
        h.Type(h.w().CCnumber(), "x");
        QVERIFY(h.w().SendCC().isEnabled());
    }

    void longSendIsPacedAndStopsForAChoiceOrSearch() {
        Harness h({Output("A"), Output("B")});
        const QString message = QStringLiteral("F0") + QStringLiteral(" 01").repeated(254) + " F7";
        h.w().SysExFieldHex().setText((message + u' ').repeated(31) + message);  // 8 KiB
        h.w().SendSysExHex().click();
        QVERIFY(h.w().ProgressDialog()->isVisible());
        h.backend->nowMs += 200;
        QTRY_COMPARE(h.backend->Writes().size(), std::size_t{17});  // 15 at once, two more later
        QTest::keyClick(&h.w().PopupMenu1(), Qt::Key_Up);
        QTRY_VERIFY(h.w().ProgressDialog() == nullptr);
        QTRY_VERIFY(
            h.w().findChildren<midi::PacedSender*>().isEmpty());  // nor its copy of the bytes
        QCOMPARE(h.backend->Writes().size(), std::size_t{17});

        // A rescan waits, without blocking, until what was written has left.
        h.w().PushButtonSearch().click();
        QVERIFY(!h.w().PushButtonSearch().isEnabled());
        QTRY_VERIFY(h.w().PushButtonSearch().isEnabled());
        QCOMPARE(
            Strings(h.backend->calls.end() - 5, h.backend->calls.end()),
            Strings({"Sleep 26", "Close 1", "Terminate", "Initialize", "OpenOutput 1 10000 1"}));
        h.w().SendSysExHex().click();  // and Escape cancels as the dialog's button does
        QTest::keyClick(h.w().ProgressDialog(), Qt::Key_Escape);
        QTRY_VERIFY(h.w().ProgressDialog() == nullptr);
        QVERIFY(h.backend->Writes().size() < 17 + 32);  // stopped between two messages
        QVERIFY(h.messages.isEmpty() && h.backend->misuse.empty());
    }

    // Shortcuts need a shown window; About and Quit work from any window of the program.
    void runShowsTheWindowUntilQuit() {
        testing::ScopedRecordingBackend backend;
        QWidget other;
        QString box;  // what the real About box shows
        QTimer::singleShot(0, [&other, &box] {
            other.show();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            QTimer::singleShot(0, [&box] {
                auto* about = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                // Names and PortMidi's texts reach these boxes: never read as markup.
                QVERIFY(about != nullptr && about->textFormat() == Qt::PlainText &&
                        about->standardButtons() == QMessageBox::Ok);
                box = about->text();
                about->button(QMessageBox::Ok)->click();
            });
            QTest::keyClick(&other, Qt::Key_I, Qt::ControlModifier);
            other.activateWindow();  // again, once the box has gone
            QVERIFY(QTest::qWaitForWindowActive(&other));
            QTest::keyClick(&other, Qt::Key_Q, Qt::ControlModifier);
        });
        QTimer::singleShot(5000, &other, [] { QCoreApplication::exit(99); });  // stuck
        QCOMPARE(TheApp().Run(), 0);
        QCOMPARE(box,
                 "Kelvane 1.02\n\u00A9 2019 the Kelvane developers\nhttps://kelvane.org\n"
                 "developers@kelvane.org");
    }
};

}  // namespace kelvane

int main(int argc, char** argv) {
    kelvane::App app(argc, argv);
    kelvane::WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"

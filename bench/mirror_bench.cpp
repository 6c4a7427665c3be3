// How the decimal field's change handler and the send's byte building scale with the row, and what
// a dropped .syx file and the keys after it cost, as ratios to the cost of the same in a plain
// QLineEdit. Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <map>

#include "messages/sysex_row.h"
#include "ratio_reporter.h"
#include "ui/msg_box.h"
#include "ui/window1.h"

namespace {

// One SysEx message as a decimal row of about `bytes` characters, typical values.
QString Row(qsizetype bytes, int seed) {
    QString row = QStringLiteral("240");
    int value = seed;
    while (row.size() < bytes) {
        row += u' ';
        row += QString::number(value % 128);
        value = value * 31 + 7;
    }
    return row + QStringLiteral(" 247");
}

// SysEx of `bytes` bytes, in messages of 256, typical values.
QByteArray SyxBytes(qsizetype bytes, unsigned seed) {
    QByteArray data;
    unsigned value = seed;
    while (data.size() < bytes) {
        data += '\xF0';
        for (int i = 0; i < 254; ++i) {
            data += static_cast<char>(value % 128);
            value = value * 31 + 7;
        }
        data += '\xF7';
    }
    return data;
}

constexpr qsizetype kKiB = 1 << 10;
constexpr qsizetype kMiB = 1 << 20;
constexpr qsizetype kTenThousandTokens = 10000;

// The window the handler benchmarks type into; main owns it.
kelvane::Window1* window = nullptr;

kelvane::Window1& Window() { return *window; }

// Two rows of the same size, used in turn so that no call sees the text it already has.
void SetTextFloor(benchmark::State& state, const QString& a, const QString& b) {
    QLineEdit field;
    field.setMaxLength(std::numeric_limits<int>::max());
    bool flip = false;
    for (auto _ : state) {
        field.setText(flip ? a : b);
        flip = !flip;
    }
}

void Handler(benchmark::State& state, const QString& a, const QString& b) {
    kelvane::Window1& w = Window();
    QLineEdit& field = w.SysExField();
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        field.setText(flip ? a : b);
        flip = !flip;
        state.ResumeTiming();
        w.SysExField_TextChange(field);
    }
}

void BuildBytes(benchmark::State& state, const QString& row) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(kelvane::DecimalSysExBytes(row));
    }
}

// A key typed at the end of what the field holds, taken back untimed.
void KeyAtEnd(benchmark::State& state, QLineEdit& field) {
    field.setFocus();
    field.end(false);
    for (auto _ : state) {
        QTest::keyClick(&field, Qt::Key_5);
        state.PauseTiming();
        field.backspace();
        state.ResumeTiming();
    }
}

void Keystroke(benchmark::State& state, const QString& row) {
    Window().SysExField().setText(row);
    KeyAtEnd(state, Window().SysExField());
}

void PlainKeystroke(benchmark::State& state, const QString& row) {
    QLineEdit field;
    field.setMaxLength(std::numeric_limits<int>::max());
    field.setText(row);
    KeyAtEnd(state, field);
}

// Two files of one size in turn, as SetTextFloor sets two rows.
void Drop(benchmark::State& state, const QByteArray& a, const QByteArray& b) {
    bool flip = false;
    for (auto _ : state) {
        Window().DropObject(flip ? a : b);
        flip = !flip;
    }
}

// Two .syx files of one size, and the rows a plain field would show for them.
struct Syx {
    QByteArray a, b;
    QString rowA, rowB;
    Syx(const QTemporaryDir& dir, qsizetype bytes) {
        for (const unsigned seed : {1u, 2u}) {
            const QByteArray data = SyxBytes(bytes, seed);
            QFile file(dir.filePath(QStringLiteral("%1-%2.syx").arg(bytes).arg(seed)));
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
                std::abort();
            }
            (seed == 1 ? a : b) = QFile::encodeName(file.fileName());
            (seed == 1 ? rowA : rowB) = QString::fromLatin1(data.toHex(' ').toUpper());
        }
    }
};

struct Rows {
    QString mib1a = Row(kMiB, 1), mib1b = Row(kMiB, 2);
    QString mib2a = Row(2 * kMiB, 1), mib2b = Row(2 * kMiB, 2);
    QString small;
    Rows() {
        small = QStringLiteral("240");
        for (int i = 1; i < kTenThousandTokens; ++i) {
            small += QStringLiteral(" 127");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kelvane::Window1 mainWindow;
    mainWindow.show();
    mainWindow.activateWindow();
    if (!QTest::qWaitForWindowActive(&mainWindow)) {
        std::fprintf(stderr, "The window did not become active: the handler would do nothing.\n");
        return 1;
    }
    window = &mainWindow;
    kelvane::SetMsgBoxHook([](const QString&) {});
    const Rows rows;
    const QTemporaryDir dir;
    const struct {
        const char* name;
        Syx files;
    } drops[] = {{"64KiB", {dir, 64 * kKiB}}, {"1MiB", {dir, kMiB}}, {"16MiB", {dir, 16 * kMiB}}};
    // iterations: a fixed count instead of half a second's worth.
    const auto reg = [](const std::string& name, auto fn, int iterations = 0) {
        auto* registered = benchmark::RegisterBenchmark(name.c_str(), fn);
        registered->Unit(benchmark::kMillisecond);
        iterations > 0 ? registered->Iterations(iterations) : registered->MinTime(0.5);
    };
    reg("setText/1MiB", [&](benchmark::State& s) { SetTextFloor(s, rows.mib1a, rows.mib1b); });
    reg("handler/1MiB", [&](benchmark::State& s) { Handler(s, rows.mib1a, rows.mib1b); });
    reg("handler/2MiB", [&](benchmark::State& s) { Handler(s, rows.mib2a, rows.mib2b); });
    reg("bytes/1MiB", [&](benchmark::State& s) { BuildBytes(s, rows.mib1a); });
    reg("bytes/2MiB", [&](benchmark::State& s) { BuildBytes(s, rows.mib2a); });
    reg("setText/10k", [&](benchmark::State& s) {
        SetTextFloor(s, rows.small, QString(rows.small).replace(u'7', u'6'));
    });
    reg("keystroke/10k", [&](benchmark::State& s) { Keystroke(s, rows.small); });
    for (const auto& [size, files] : drops) {
        const std::string name = size;
        const Syx& f = files;
        const int once = name == "16MiB" ? 1 : 0;  // seconds each in a plain field
        reg(
            "setHex/" + name, [&f](benchmark::State& s) { SetTextFloor(s, f.rowA, f.rowB); }, once);
        reg(
            "plainKey/" + name, [&f](benchmark::State& s) { PlainKeystroke(s, f.rowA); }, once);
        reg("drop/" + name, [&f](benchmark::State& s) { Drop(s, f.a, f.b); });
        reg("dropKey/" + name, [&f](benchmark::State& s) {
            Window().DropObject(f.a);
            KeyAtEnd(s, Window().SysExFieldHex());
        });
    }

    auto t = kelvane::bench::RunAll(argc, argv);
    const struct {
        const char* what;
        double ratio;
        double target;
    } ratios[] = {
        {"handler 1 MiB / setText 1 MiB", t["handler/1MiB"] / t["setText/1MiB"], 3.0},
        {"handler 2 MiB / handler 1 MiB", t["handler/2MiB"] / t["handler/1MiB"], 2.3},
        {"bytes 2 MiB / bytes 1 MiB", t["bytes/2MiB"] / t["bytes/1MiB"], 2.3},
        {"keystroke 10k tokens / setText 10k tokens", t["keystroke/10k"] / t["setText/10k"], 3.0},
        {"drop 64 KiB / setText 64 KiB", t["drop/64KiB"] / t["setHex/64KiB"], 3.0},
        {"key after it / key in a plain field", t["dropKey/64KiB"] / t["plainKey/64KiB"], 3.0},
        {"drop 1 MiB / setText 1 MiB", t["drop/1MiB"] / t["setHex/1MiB"], 3.0},
        {"key after it / key in a plain field", t["dropKey/1MiB"] / t["plainKey/1MiB"], 3.0},
        {"drop 16 MiB / setText 16 MiB", t["drop/16MiB"] / t["setHex/16MiB"], 3.0},
        {"key after it / key in a plain field", t["dropKey/16MiB"] / t["plainKey/16MiB"], 3.0},
    };
    std::printf("\n%-44s %8s %8s\n", "ratio", "measured", "target");
    for (const auto& [what, ratio, target] : ratios) {
        std::printf("%-44s %8.2f %8.2f %s\n", what, ratio, target, ratio <= target ? "ok" : "OVER");
    }
    return 0;
}

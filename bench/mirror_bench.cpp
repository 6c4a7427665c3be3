// How the decimal field's change handler and the send's byte building scale with the row, as
// ratios to the cost of setting the same text into a QLineEdit. Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstdio>
#include <map>

#include "messages/sysex_row.h"
#include "ratio_reporter.h"
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

void Keystroke(benchmark::State& state, const QString& row) {
    kelvane::Window1& w = Window();
    QLineEdit& field = w.SysExField();
    field.setText(row);
    field.setFocus();
    field.end(false);
    for (auto _ : state) {
        QTest::keyClick(&field, Qt::Key_5);
        state.PauseTiming();
        field.backspace();
        state.ResumeTiming();
    }
}

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
    const Rows rows;
    const auto reg = [](const char* name, auto fn) {
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond)->MinTime(0.5);
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
    };
    std::printf("\n%-44s %8s %8s\n", "ratio", "measured", "target");
    for (const auto& [what, ratio, target] : ratios) {
        std::printf("%-44s %8.2f %8.2f %s\n", what, ratio, target, ratio <= target ? "ok" : "OVER");
    }
    return 0;
}

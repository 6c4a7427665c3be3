// What a Control Change costs the window when the user chooses another device right after it:
// 20 x (Send CC, choose another row) against the 20 choices alone, as a ratio. Needs two MIDI
// outputs, so it runs in the test VM: tests/system/vm/run-in-vm -- build/bench/kelvane_reopen_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/window1.h"

namespace {

constexpr int kChoices = 20;
constexpr int kRounds = 7;

// Milliseconds for kChoices choices of the two rows in turn, each after a Send CC when withCc.
double Choices(kelvane::Window1& window, const int rows[2], bool withCc) {
    QComboBox& popup = window.PopupMenu1();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kChoices; ++i) {
        if (withCc) {
            window.SendCC().click();
        }
        const int row = rows[i % 2];
        popup.setCurrentIndex(row);
        emit popup.activated(row);
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    // Lets the output leave and the held handles close, so every round starts alike.
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    return ms;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kelvane::Window1 window;
    int rows[2] = {-1, -1};
    for (int row = 0; row < window.PopupMenu1().count(); ++row) {
        const QString text = window.PopupMenu1().itemText(row);
        if (text.endsWith(QStringLiteral(": to VirMIDI 0-0"))) {
            rows[0] = row;
        } else if (text.endsWith(QStringLiteral(": to VirMIDI 0-1"))) {
            rows[1] = row;
        }
    }
    if (rows[0] < 0 || rows[1] < 0) {
        std::fprintf(stderr, "needs the outputs VirMIDI 0-0 and 0-1 (run it in the test VM)\n");
        return 2;
    }
    window.CCnumber().setText(QStringLiteral("7"));
    window.SendCC().setEnabled(true);
    std::vector<double> alone;
    std::vector<double> withCc;
    for (int round = 0; round < kRounds; ++round) {
        alone.push_back(Choices(window, rows, false));
        withCc.push_back(Choices(window, rows, true));
    }
    const double a = Median(alone);
    const double c = Median(withCc);
    std::printf(
        "%d choices alone: %.1f ms; each after a Send CC: %.1f ms; ratio %.2f (target <= 1.2)\n",
        kChoices, a, c, c / a);
    return 0;
}

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "messages/control_change.h"
#include "midi/sysex_check.h"

namespace kelvane::cli {

inline constexpr int kSent = 0;
inline constexpr int kMidiFailed = 1;
inline constexpr int kRefused = 2;

// The command line's own words on standard error start with its name.
inline QString Said(const QString& text) { return QStringLiteral("kelvane: ") + text; }

// Says text on err as a line of its own, flushed at once so that it keeps its place among what the
// MIDI libraries print themselves, and returns status.
inline int Tell(QTextStream& err, int status, const QString& text) {
    err << Said(text) << u'\n' << Qt::flush;
    return status;
}

// One message to send, checked, and the argument it came from for naming it ("--cc 7 1 100").
struct Message {
    QString argument;
    std::variant<midi::MidiEvent, midi::SysExBlock> content;
};

// --receive: where the SysEx that arrives goes ("-": standard output, as hex rows), from which
// input (none: the output's own), and when to stop listening.
struct ReceivePlan {
    QByteArray file;  // as the shell passed it: a name need not be UTF-8
    std::optional<QString> from;
    std::int64_t waitMs = 2000;         // after the last byte, or the last message sent
    std::optional<std::int64_t> count;  // none: until the wait ends
};

struct Plan {
    bool list = false;
    std::optional<QString> to;                   // none: the output the window selects at start
    std::optional<std::int64_t> bytesPerSecond;  // none: the port layer's pace; 0: no pacing
    std::vector<Message> messages;
    std::optional<ReceivePlan> receive;  // none: nothing is received
};

// The plan, or what to print and the status to end with: help, version, or refusals (every bad
// argument named, so that nothing at all is sent).
struct Parsed {
    Plan plan;
    std::optional<int> exitStatus;
    QString out;
    QString err;
};

// arguments as the process got them, the program first: bytes, since a file name may be in any
// encoding.
Parsed ParseArguments(const QList<QByteArray>& arguments);

}  // namespace kelvane::cli

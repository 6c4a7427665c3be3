#include "cli/options.h"

#include <QCommandLineParser>

#include "messages/send.h"
#include "messages/sysex_row.h"
#include "messages/syx_file.h"

namespace kelvane::cli {
namespace {

Built ControlChangeOf(const Given& given) {
    const QStringList& values = given.values;
    if (values.size() != 3) {
        return QStringLiteral("needs three values, NUMBER CHANNEL VALUE");
    }
    const ControlChangeBuild built = BuildControlChange(values[1], values[0], values[2]);
    if (!built.refusal.isEmpty()) {
        return built.refusal;
    }
    return Message{given.argument, built.message};
}

template <CheckedSysEx (*bytesOf)(QStringView)>
Built RowOf(const Given& given) {
    const QString& row = given.values.constFirst();
    if (!HasEnoughSysExData(row)) {
        return QString::fromUtf16(kNotEnoughSysEx);
    }
    CheckedSysEx bytes = bytesOf(row);
    if (!bytes.problem.isEmpty()) {
        return NothingSent(bytes.problem);
    }
    return Message{given.argument, std::move(bytes.messages)};
}

Built FileOf(const Given& given) {
    CheckedSysEx file = ReadSyx(given.bytes.constFirst());
    if (!file.problem.isEmpty()) {
        return file.problem;
    }
    return Message{given.argument, std::move(file.messages)};
}

constexpr Option kOptions[] = {
    {"list", 0, 0, nullptr, "List the MIDI devices as the window does.", nullptr},
    {"to", 0, 1, "DEVICE",
     "The output: its number as --list shows it, or its name or a part of it (by default the "
     "output the window selects at start).",
     nullptr},
    {"cc", 0, 3, "NUMBER CHANNEL VALUE",
     "A Control Change: number 0-127, channel 1-16, value 0-127.", ControlChangeOf},
    {"dec", 0, 1, "ROW", "SysEx as decimal values: \"240 126 127 9 1 247\".",
     RowOf<DecimalSysExBytes>},
    {"hex", 0, 1, "ROW", "SysEx as hex values: \"F0 7E 7F 09 01 F7\".", RowOf<HexSysExBytes>},
    {"syx", 0, 1, "FILE", "SysEx messages from a .syx file; - reads standard input.", FileOf},
    {"rate", 0, 1, "BYTES_PER_SECOND",
     "Pace messages at this many bytes per second (by default a little below MIDI's 3125, so that "
     "slow ports lose nothing; above 1000000 counts as 1000000); 0 sends at once.",
     nullptr},
    {"receive", 0, 1, "FILE",
     "After sending, keep the SysEx messages that arrive in a .syx file; - prints them as hex "
     "rows, one per line.",
     nullptr},
    {"from", 0, 1, "DEVICE",
     "The input to receive from, named as for --to (by default the input of the output's own "
     "port).",
     nullptr},
    {"wait", 0, 1, "SECONDS",
     "Stop receiving this long after the last byte, or after the last message sent when nothing "
     "comes (default 2, from 0.1).",
     nullptr},
    {"count", 0, 1, "N", "Stop receiving once N whole messages have arrived.", nullptr},
    {"help", 'h', 0, nullptr, "Displays help on commandline options.", nullptr},
    {"version", 'v', 0, nullptr, "Displays version information.", nullptr},
};

}  // namespace

std::span<const Option> Options() { return kOptions; }

QString HelpText() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends MIDI messages to one output: each message in the order given, and nothing at all\n"
        "when one of them is wrong. Without arguments, Kelvane opens its window.\n"
        "It ends once the port has taken the last byte, or fails when the output leaves before,\n"
        "even if another device takes its place. Ctrl+C stops after the message going out and\n"
        "says how much the port had taken; Ctrl+C again stops at once.\n"
        "With --receive it then keeps the SysEx that comes back."));
    for (const Option& option : kOptions) {
        const QString name = QString::fromLatin1(option.name);
        parser.addOption(QCommandLineOption(
            option.letter != 0 ? QStringList{QChar(option.letter), name} : QStringList{name},
            QString::fromLatin1(option.help), QString::fromLatin1(option.valueNames)));
    }
    const QString text = parser.helpText();
    return kUsage + text.mid(text.lastIndexOf(u'\n' + parser.applicationDescription()) + 1);
}

}  // namespace kelvane::cli

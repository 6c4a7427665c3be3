#include "cli/arguments.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "messages/send.h"
#include "messages/sysex_row.h"
#include "messages/syx_file.h"
#include "version/version.h"

namespace kelvane::cli {
namespace {

// An option as given: its values as text, and as the shell passed them for a file's name.
struct Given {
    QString argument;  // "--cc 7 1 100", naming it in refusals and errors
    QStringList values;
    QList<QByteArray> bytes;
};

// The message, or why the values make none.
using Built = std::variant<Message, QString>;

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

template <SysExRowBytes (*bytesOf)(QStringView)>
Built RowOf(const Given& given) {
    const QString& row = given.values.constFirst();
    if (!HasEnoughSysExData(row)) {
        return QString::fromUtf16(kNotEnoughSysEx);
    }
    SysExRowBytes bytes = bytesOf(row);
    if (!bytes.problem.isEmpty()) {
        return NothingSent(bytes.problem);
    }
    return Message{given.argument, std::move(bytes.messages)};
}

Built FileOf(const Given& given) {
    SyxFile file = ReadSyx(given.bytes.constFirst());
    if (!file.problem.isEmpty()) {
        return file.problem;
    }
    return Message{given.argument, std::move(file.messages)};
}

struct Option {
    const char* name;
    const char* values;  // one word each, as --help shows them; none for a switch
    const char* help;
    Built (*message)(const Given&);  // none for an option that sends nothing
};

// Kelvane's options but help and version, which QCommandLineParser adds itself.
constexpr Option kOptions[] = {
    {"list", nullptr, "List the MIDI devices as the window does.", nullptr},
    {"to", "DEVICE",
     "The output: its number as --list shows it, or its name or a part of it (by default the "
     "output the window selects at start).",
     nullptr},
    {"cc", "NUMBER CHANNEL VALUE", "A Control Change: number 0-127, channel 1-16, value 0-127.",
     ControlChangeOf},
    {"dec", "ROW", "SysEx as decimal values: \"240 126 127 9 1 247\".", RowOf<DecimalSysExBytes>},
    {"hex", "ROW", "SysEx as hex values: \"F0 7E 7F 09 01 F7\".", RowOf<HexSysExBytes>},
    {"syx", "FILE", "SysEx messages from a .syx file; - reads standard input.", FileOf},
    {"rate", "BYTES_PER_SECOND",
     "Pace messages at this many bytes per second (by default a little below MIDI's 3125, so that "
     "slow ports lose nothing; above 1000000 counts as 1000000); 0 sends at once.",
     nullptr},
    {"receive", "FILE",
     "After sending, keep the SysEx messages that arrive in a .syx file; - prints them as hex "
     "rows, one per line.",
     nullptr},
    {"from", "DEVICE",
     "The input to receive from, named as for --to (by default the input of the output's own "
     "port).",
     nullptr},
    {"wait", "SECONDS",
     "Stop receiving this long after the last byte, or after the last message sent when nothing "
     "comes (default 2, from 0.1).",
     nullptr},
    {"count", "N", "Stop receiving once N whole messages have arrived.", nullptr},
};

// The option "--cc" or "--cc=7" names; none for anything else.
const Option* OptionIn(const QString& argument) {
    const QString name =
        argument.startsWith(u"--") ? argument.mid(2).section(u'=', 0, 0) : QString();
    const auto* found = std::find_if(
        std::begin(kOptions), std::end(kOptions),
        [&name](const Option& option) { return name == QLatin1StringView(option.name); });
    return found == std::end(kOptions) ? nullptr : found;
}

// An option, as against a value; a negative number is a value, refused later by its range.
bool IsOption(const QString& argument) {
    return argument.size() > 1 && argument[0] == u'-' && !argument[1].isDigit();
}

// One of Kelvane's own options or help and version ("--to", "--to=3", "-h"), as against a value.
bool IsOwnOption(const QString& argument) {
    return QStringList{"-h", "-?", "--help", "--help-all", "-v", "--version"}.contains(argument) ||
           OptionIn(argument) != nullptr;
}

// How many arguments after i an option takes: up to as many as it has values while none is an
// option, else the next one whatever it is, as QCommandLineParser takes it.
qsizetype ValuesAfter(const QStringList& arguments, qsizetype i, const Option& option) {
    const auto count = std::ranges::count(std::string_view(option.values), ' ') + 1;
    qsizetype taken = 0;
    while (taken < count && i + taken + 1 < arguments.size() &&
           !IsOption(arguments[i + taken + 1])) {
        ++taken;
    }
    return taken > 0 ? taken : 1;
}

// The options that send, in the order given, and the other arguments for QCommandLineParser,
// which takes one value for an option where --cc has three, and takes another option as one.
struct Taken {
    std::vector<std::pair<const Option*, Given>> messages;
    QStringList rest;
    QString missing;  // an option without its value
};

Taken TakeMessages(const QList<QByteArray>& given, const QStringList& arguments) {
    Taken taken{{}, {arguments.constFirst()}, {}};
    bool positional = false;  // after "--"
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const Option* option = OptionIn(arguments[i]);
        const qsizetype equals = arguments[i].indexOf(u'=');
        const bool valued = option != nullptr && option->values != nullptr && equals < 0;
        if (valued && (i + 1 == arguments.size() || IsOwnOption(arguments[i + 1]))) {
            taken.missing = QStringLiteral("%1 has no value (%2)")
                                .arg(arguments[i], QLatin1StringView(option->values));
            return taken;
        }
        positional = positional || arguments[i] == u"--";
        const qsizetype after = valued && !positional ? ValuesAfter(arguments, i, *option) : 0;
        if (positional || option == nullptr || option->message == nullptr) {
            taken.rest << arguments.mid(i, 1 + after);
        } else {
            // The name before "=" is ASCII: as long in bytes as in text.
            Given use = equals < 0
                            ? Given{{}, arguments.mid(i + 1, after), given.mid(i + 1, after)}
                            : Given{{}, {arguments[i].mid(equals + 1)}, {given[i].mid(equals + 1)}};
            use.argument = QStringLiteral("--%1 ").arg(QLatin1StringView(option->name)) +
                           use.values.join(u' ');
            taken.messages.emplace_back(option, std::move(use));
        }
        i += after;
    }
    return taken;
}

// The options in the order --help shows them.
void AddOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Sends MIDI messages to one output: each message in the order given, and nothing at all\n"
        "when one of them is wrong. Without arguments, Kelvane opens its window.\n"
        "It ends once the port has taken the last byte, or fails when the output leaves before,\n"
        "even if another device takes its place. Ctrl+C stops after the message going out and\n"
        "says how much the port had taken; Ctrl+C again stops at once.\n"
        "With --receive it then keeps the SysEx that comes back."));
    for (const auto& [name, values, help, message] : kOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                            QString::fromLatin1(values)));
    }
    parser.addHelpOption();
    parser.addVersionOption();
}

// Any whole number; one too long for 64 bits is as good as the largest that fits (Pace counts
// rates above its fastest as the fastest).
std::optional<std::int64_t> WholeNumber(const QString& text) {
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return {};
    }
    bool fits = false;
    const qlonglong value = text.toLongLong(&fits);
    return fits ? value : std::numeric_limits<std::int64_t>::max();
}

// Seconds as a decimal number: "2", "0.5", ".5".
std::optional<std::int64_t> Milliseconds(const QString& text) {
    static const QRegularExpression decimal(QStringLiteral("^([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    if (!decimal.match(text).hasMatch()) {
        return {};
    }
    // Nobody waits for 30 years: a longer wait is that long, and fits in milliseconds.
    return std::llround(std::min(text.toDouble(), 1e9) * 1000);
}

// The last value given for option as the shell passed it, for a file's name.
QByteArray GivenBytes(const QList<QByteArray>& given, const QByteArray& option) {
    QByteArray value;
    for (qsizetype i = 1; i < given.size(); ++i) {
        if (given[i] == option && i + 1 < given.size()) {
            value = given[++i];
        } else if (given[i].startsWith(option + '=')) {
            value = given[i].mid(option.size() + 1);
        }
    }
    return value;
}

// The --receive options, or why they cannot be taken (empty: nothing is received).
std::variant<ReceivePlan, QString> ReceivePlanOf(const QCommandLineParser& parser,
                                                 const QList<QByteArray>& given) {
    const auto value = [&parser](const char* name) {
        const QStringList values = parser.values(QString::fromLatin1(name));
        return values.isEmpty() ? std::optional<QString>() : values.constFirst();
    };
    const std::optional<QString> file = value("receive");
    if (!file) {
        for (const char* option : {"from", "wait", "count"}) {
            if (value(option)) {
                return QStringLiteral("--%1 goes with --receive").arg(QLatin1StringView(option));
            }
        }
        return QString();
    }
    if (file->isEmpty()) {
        return QStringLiteral("--receive needs a file name, or - for standard output");
    }
    ReceivePlan plan{GivenBytes(given, "--receive"), value("from"), 2000, {}};
    if (const std::optional<QString> wait = value("wait")) {
        const std::optional<std::int64_t> ms = Milliseconds(*wait);
        if (!ms || *ms < 100) {
            return QStringLiteral("--wait %1: needs seconds from 0.1 up").arg(*wait);
        }
        plan.waitMs = *ms;
    }
    if (const std::optional<QString> count = value("count")) {
        plan.count = WholeNumber(*count);
        if (!plan.count || *plan.count < 1) {
            return QStringLiteral("--count %1: needs a whole number of messages from 1")
                .arg(*count);
        }
    }
    return plan;
}

}  // namespace

Parsed ParseArguments(const QList<QByteArray>& given) {
    QStringList arguments;
    for (const QByteArray& argument : given) {
        arguments << QFile::decodeName(argument);
    }
    QCommandLineParser parser;
    AddOptions(parser);
    // The usage line only when refusing: the help text it comes from is slow to lay out.
    const auto refuse = [&parser](const QString& why) {
        const QString usage = parser.helpText().section(u'\n', 0, 0) +
                              QStringLiteral("\nTry 'kelvane --help' for more.\n");
        return Parsed{{}, kRefused, {}, Said(why) + u'\n' + usage};
    };
    const Taken taken = TakeMessages(given, arguments);
    if (!taken.missing.isEmpty()) {
        return refuse(taken.missing);
    }
    if (!parser.parse(taken.rest)) {
        return refuse(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        return {{}, kSent, parser.helpText(), {}};
    }
    if (parser.isSet(QStringLiteral("version"))) {
        return {{}, kSent, QStringLiteral("kelvane %1\n").arg(version::Text()), {}};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(QStringLiteral("unexpected argument '%1'")
                          .arg(parser.positionalArguments().constFirst()));
    }
    for (const QString& once :
         {QStringLiteral("to"), QStringLiteral("rate"), QStringLiteral("receive"),
          QStringLiteral("from"), QStringLiteral("wait"), QStringLiteral("count")}) {
        if (parser.values(once).size() > 1) {
            return refuse(QStringLiteral("--%1 is given more than once").arg(once));
        }
    }

    Parsed parsed;
    parsed.plan.list = parser.isSet(QStringLiteral("list"));
    if (const QStringList to = parser.values(QStringLiteral("to")); !to.isEmpty()) {
        parsed.plan.to = to.constFirst();
    }
    if (const QStringList rate = parser.values(QStringLiteral("rate")); !rate.isEmpty()) {
        parsed.plan.bytesPerSecond = WholeNumber(rate.constFirst());
        if (!parsed.plan.bytesPerSecond) {
            return refuse(QStringLiteral("--rate %1: needs whole bytes per second, 0 for no pacing")
                              .arg(rate.constFirst()));
        }
    }
    if (std::variant<ReceivePlan, QString> receive = ReceivePlanOf(parser, given);
        const auto* why = std::get_if<QString>(&receive)) {
        if (!why->isEmpty()) {
            return refuse(*why);
        }
    } else {
        parsed.plan.receive = std::get<ReceivePlan>(std::move(receive));
    }
    QString refusals;
    for (const auto& [option, use] : taken.messages) {
        Built built = option->message(use);
        if (auto* message = std::get_if<Message>(&built)) {
            parsed.plan.messages.push_back(std::move(*message));
        } else {
            refusals +=
                Said(use.argument + QStringLiteral(": ") + std::get<QString>(built)) + u'\n';
        }
    }
    if (!refusals.isEmpty()) {
        return {{}, kRefused, {}, refusals};
    }
    if (parsed.plan.list == (!parsed.plan.messages.empty() || parsed.plan.receive)) {
        return refuse(parsed.plan.list ? QStringLiteral("--list sends nothing; give it alone")
                                       : QStringLiteral("no message to send"));
    }
    return parsed;
}

}  // namespace kelvane::cli

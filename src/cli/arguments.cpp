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

struct Option {
    const char* name;
    char letter;             // the short form, "-h"; none: 0
    int values;              // how many arguments it takes; 0 for a switch
    const char* valueNames;  // one word each, as --help shows them
    const char* help;
    Built (*message)(const Given&);  // none for an option that sends nothing
};

// In the order --help shows them.
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

constexpr QLatin1StringView kUsage("Usage: kelvane [options]\n");
constexpr QLatin1StringView kTryHelp("Try 'kelvane --help' for more.\n");

// The option a name stands for; a letter names it as a word does ("--h" is "--help").
const Option* Named(QStringView name) {
    const auto* found = std::ranges::find_if(kOptions, [name](const Option& option) {
        return name == QLatin1StringView(option.name) ||
               (name.size() == 1 && option.letter != 0 && name[0] == QLatin1Char(option.letter));
    });
    return found == std::end(kOptions) ? nullptr : found;
}

// The option "--cc" or "--cc=7" names; none for anything else.
const Option* OptionIn(const QString& argument) {
    return argument.startsWith(u"--") ? Named(argument.mid(2).section(u'=', 0, 0)) : nullptr;
}

// An option, as against a value; a negative number is a value, refused later by its range.
bool IsOption(const QString& argument) {
    return argument.size() > 1 && argument[0] == u'-' && !argument[1].isDigit();
}

// An argument that cannot be an option's value. Help and version only as their usual words, and
// "-?" with them, which many programs take for help.
bool IsOwnOption(const QString& argument) {
    const Option* option = OptionIn(argument);
    return (option != nullptr && option->letter == 0) ||
           QStringList{"-h", "-?", "--help", "-v", "--version"}.contains(argument);
}

// How many arguments after i an option takes: up to count while none is an option, and at least
// the next whatever it is.
qsizetype ValuesAfter(const QStringList& arguments, qsizetype i, int count) {
    qsizetype taken = 0;
    while (taken < count && i + taken + 1 < arguments.size() &&
           !IsOption(arguments[i + taken + 1])) {
        ++taken;
    }
    return taken > 0 ? taken : 1;
}

// The arguments read, before anything is checked.
struct Arguments {
    std::vector<std::pair<const Option*, Given>> options;  // in the order given
    QString unreadable;  // an option without its value, or else a value given to a switch
    QStringList unknown;
    QStringList positional;
};

// "--to 3", "--to=3", "--list": how many of the arguments after i it took.
qsizetype TakeWord(Arguments& found, const QStringList& arguments, const QList<QByteArray>& given,
                   qsizetype i) {
    const QString& argument = arguments[i];
    const Option* option = OptionIn(argument);
    const qsizetype equals = argument.indexOf(u'=');
    if (option == nullptr) {
        found.unknown << argument.mid(2).section(u'=', 0, 0);
        return 0;
    }
    if (equals >= 0 && option->values == 0) {
        found.unreadable =
            QStringLiteral("Unexpected value after '%1'.").arg(argument.left(equals));
        return 0;
    }
    const qsizetype after =
        equals < 0 && option->values > 0 ? ValuesAfter(arguments, i, option->values) : 0;
    // The name before "=" is ASCII: as long in bytes as in text.
    Given use = equals < 0 ? Given{{}, arguments.mid(i + 1, after), given.mid(i + 1, after)}
                           : Given{{}, {argument.mid(equals + 1)}, {given[i].mid(equals + 1)}};
    use.argument =
        QStringLiteral("--%1 ").arg(QLatin1StringView(option->name)) + use.values.join(u' ');
    found.options.emplace_back(option, std::move(use));
    return after;
}

// "-hv": each letter an option, up to an "=" after one that is.
void TakeLetters(Arguments& found, const QString& argument) {
    const Option* option = nullptr;
    for (qsizetype at = 1; at < argument.size() && (option == nullptr || argument[at] != u'=');
         ++at) {
        const QString letter = argument.mid(at, 1);
        option = Named(letter);
        if (option != nullptr) {
            found.options.emplace_back(option, Given{});
        } else {
            found.unknown << letter;
        }
    }
    if (option != nullptr && argument.contains(u'=')) {
        found.unreadable = QStringLiteral("Unexpected value after '%1'.")
                               .arg(argument.left(argument.indexOf(u'=')));
    }
}

Arguments Read(const QList<QByteArray>& given) {
    QStringList arguments;
    for (const QByteArray& argument : given) {
        arguments << QFile::decodeName(argument);
    }
    Arguments found;
    bool positional = false;  // after "--"
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const Option* option = OptionIn(argument);
        if (option != nullptr && option->values > 0 && !argument.contains(u'=') &&
            (i + 1 == arguments.size() || IsOwnOption(arguments[i + 1]))) {
            found.unreadable = QStringLiteral("%1 has no value (%2)")
                                   .arg(argument, QLatin1StringView(option->valueNames));
            return found;  // nothing else is told
        }
        if (positional || argument.size() < 2 || argument[0] != u'-') {
            found.positional << argument;
        } else if (argument == u"--") {
            positional = true;
        } else if (argument.startsWith(u"--")) {
            i += TakeWord(found, arguments, given, i);
        } else {
            TakeLetters(found, argument);
        }
    }
    // Qt's words, which scripts may look for.
    if (found.unreadable.isEmpty() && !found.unknown.isEmpty()) {
        found.unreadable =
            found.unknown.size() == 1
                ? QStringLiteral("Unknown option '%1'.").arg(found.unknown.constFirst())
                : QStringLiteral("Unknown options: %1.")
                      .arg(found.unknown.join(QStringLiteral(", ")));
    }
    return found;
}

// What was given with the option the last time; none when it was not.
const Given* GivenFor(const Arguments& found, std::string_view name) {
    const auto last =
        std::ranges::find_if(found.options.rbegin(), found.options.rend(),
                             [name](const auto& use) { return use.first->name == name; });
    return last == found.options.rend() ? nullptr : &last->second;
}

std::optional<QString> ValueOf(const Arguments& found, std::string_view name) {
    const Given* use = GivenFor(found, name);
    return use == nullptr ? std::optional<QString>() : use->values.constFirst();
}

// The text of --help: the program is "kelvane" whatever path started it.
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

// The --receive options into plan, or why they cannot be taken.
QString AddReceive(const Arguments& found, Plan& plan) {
    const Given* file = GivenFor(found, "receive");
    if (file == nullptr) {
        for (const char* option : {"from", "wait", "count"}) {
            if (GivenFor(found, option) != nullptr) {
                return QStringLiteral("--%1 goes with --receive").arg(QLatin1StringView(option));
            }
        }
        return {};
    }
    if (file->values.constFirst().isEmpty()) {
        return QStringLiteral("--receive needs a file name, or - for standard output");
    }
    ReceivePlan& receive = plan.receive.emplace(
        ReceivePlan{file->bytes.constFirst(), ValueOf(found, "from"), 2000, {}});
    if (const std::optional<QString> wait = ValueOf(found, "wait")) {
        const std::optional<std::int64_t> ms = Milliseconds(*wait);
        if (!ms || *ms < 100) {
            return QStringLiteral("--wait %1: needs seconds from 0.1 up").arg(*wait);
        }
        receive.waitMs = *ms;
    }
    if (const std::optional<QString> count = ValueOf(found, "count")) {
        receive.count = WholeNumber(*count);
        if (!receive.count || *receive.count < 1) {
            return QStringLiteral("--count %1: needs a whole number of messages from 1")
                .arg(*count);
        }
    }
    return {};
}

// The options that send nothing into plan, or why they cannot be taken.
QString AddSettings(const Arguments& found, Plan& plan) {
    // Given twice, which one was meant?
    for (const Option& once : kOptions) {
        const auto given = [&once](const auto& use) { return use.first == &once; };
        if (once.values > 0 && once.message == nullptr &&
            std::ranges::count_if(found.options, given) > 1) {
            return QStringLiteral("--%1 is given more than once").arg(QLatin1StringView(once.name));
        }
    }
    plan.list = GivenFor(found, "list") != nullptr;
    plan.to = ValueOf(found, "to");
    if (const std::optional<QString> rate = ValueOf(found, "rate")) {
        plan.bytesPerSecond = WholeNumber(*rate);
        if (!plan.bytesPerSecond) {
            return QStringLiteral("--rate %1: needs whole bytes per second, 0 for no pacing")
                .arg(*rate);
        }
    }
    return AddReceive(found, plan);
}

// The messages into plan, or every one that is wrong, each on a line of its own.
QString AddMessages(const Arguments& found, Plan& plan) {
    QString refusals;
    for (const auto& [option, use] : found.options) {
        if (option->message == nullptr) {
            continue;
        }
        Built built = option->message(use);
        if (auto* message = std::get_if<Message>(&built)) {
            plan.messages.push_back(std::move(*message));
        } else {
            refusals +=
                Said(use.argument + QStringLiteral(": ") + std::get<QString>(built)) + u'\n';
        }
    }
    return refusals;
}

}  // namespace

Parsed ParseArguments(const QList<QByteArray>& given) {
    const auto refuse = [](const QString& why) {
        return Parsed{{}, kRefused, {}, Said(why) + u'\n' + kUsage + kTryHelp};
    };
    const Arguments found = Read(given);
    if (!found.unreadable.isEmpty()) {
        return refuse(found.unreadable);
    }
    if (GivenFor(found, "help") != nullptr) {
        return {{}, kSent, HelpText(), {}};
    }
    if (GivenFor(found, "version") != nullptr) {
        return {{}, kSent, QStringLiteral("kelvane %1\n").arg(version::Text()), {}};
    }
    if (!found.positional.isEmpty()) {
        return refuse(
            QStringLiteral("unexpected argument '%1'").arg(found.positional.constFirst()));
    }
    Parsed parsed;
    if (const QString why = AddSettings(found, parsed.plan); !why.isEmpty()) {
        return refuse(why);
    }
    if (const QString refusals = AddMessages(found, parsed.plan); !refusals.isEmpty()) {
        return {{}, kRefused, {}, refusals};
    }
    if (parsed.plan.list == (!parsed.plan.messages.empty() || parsed.plan.receive)) {
        return refuse(parsed.plan.list ? QStringLiteral("--list sends nothing; give it alone")
                                       : QStringLiteral("no message to send"));
    }
    return parsed;
}

}  // namespace kelvane::cli

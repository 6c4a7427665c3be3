#include "cli/arguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <limits>
#include <map>

#include "messages/send.h"
#include "messages/sysex_row.h"
#include "messages/syx_file.h"

namespace kelvane::cli {
namespace {

// --cc takes three values, which QCommandLineParser cannot: they travel as one, joined by a
// character no shell argument carries.
constexpr QChar kJoin = u'\u001F';

struct Option {
    const char* name;
    const char* help;
    const char* value;  // none for a switch
};

// Kelvane's options but help and version, which QCommandLineParser adds itself.
constexpr Option kOptions[] = {
    {"list", "List the MIDI devices as the window does.", nullptr},
    {"to",
     "The output: its number as --list shows it, or its name or a part of it (by default the "
     "output the window selects at start).",
     "DEVICE"},
    {"cc", "A Control Change: number 0-127, channel 1-16, value 0-127.", "NUMBER CHANNEL VALUE"},
    {"dec", "SysEx as decimal values: \"240 126 127 6 1 247\".", "ROW"},
    {"hex", "SysEx as hex values: \"F0 7E 7F 06 01 F7\".", "ROW"},
    {"syx", "SysEx messages from a .syx file; - reads standard input.", "FILE"},
    {"rate",
     "Pace SysEx at this many bytes per second (by default a little below MIDI's 3125, so that "
     "slow ports lose nothing; above 1000000 counts as 1000000); 0 sends at once.",
     "BYTES_PER_SECOND"},
};

QString CcArgument(const QString& joined) {
    return QStringLiteral("--cc ") + QString(joined).replace(kJoin, u' ');
}

// An option, as against a value; a negative number is a value, refused later by its range.
bool IsOption(const QString& argument) {
    return argument.size() > 1 && argument[0] == u'-' && !argument[1].isDigit();
}

// Joins each "--cc A B C" into "--cc=A\x1FB\x1FC". It takes no option as a value, so one that
// comes too early leaves the --cc short, and refused.
QStringList JoinCcValues(const QStringList& arguments) {
    QStringList joined;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        qsizetype count = 0;
        while (count < 3 && i + count + 1 < arguments.size() &&
               !IsOption(arguments[i + count + 1])) {
            ++count;
        }
        if (i > 0 && arguments[i] == u"--cc" && count > 0) {
            joined << QStringLiteral("--cc=") + arguments.mid(i + 1, count).join(kJoin);
            i += count;
        } else {
            joined << arguments[i];
        }
    }
    return joined;
}

struct Checked {
    std::optional<Message> message;
    QString refusal;
};

Checked ControlChangeOf(const QString& joined) {
    const QStringList values = joined.split(kJoin);
    const QString argument = CcArgument(joined);
    if (values.size() != 3) {
        return {{}, argument + QStringLiteral(": needs three values, NUMBER CHANNEL VALUE")};
    }
    const ControlChangeBuild built = BuildControlChange(values[1], values[0], values[2]);
    if (!built.refusal.isEmpty()) {
        return {{}, argument + QStringLiteral(": ") + built.refusal};
    }
    return {Message{argument, built.message}, {}};
}

Checked RowOf(const QString& option, const QString& row, SysExRowBytes (*bytesOf)(QStringView)) {
    const QString argument = QStringLiteral("--%1 %2").arg(option, row);
    if (!HasEnoughSysExData(row)) {
        return {{}, argument + QStringLiteral(": ") + QString::fromUtf16(kNotEnoughSysEx)};
    }
    SysExRowBytes bytes = bytesOf(row);
    if (!bytes.problem.isEmpty()) {
        return {{}, argument + QStringLiteral(": ") + NothingSent(bytes.problem)};
    }
    return {Message{argument, std::move(bytes.messages)}, {}};
}

Checked FileOf(const QByteArray& path) {
    const QString argument = QStringLiteral("--syx ") + QFile::decodeName(path);
    SyxFile file = ReadSyx(path);
    if (!file.problem.isEmpty()) {
        return {{}, argument + QStringLiteral(": ") + file.problem};
    }
    return {Message{argument, std::move(file.messages)}, {}};
}

Checked MessageOf(const QString& option, const QString& value) {
    if (option == u"cc") {
        return ControlChangeOf(value);
    }
    return RowOf(option, value, option == u"dec" ? DecimalSysExBytes : HexSysExBytes);
}

// The --syx values as given: decoding them would lose what is not UTF-8. Every "--syx" here is
// the option, since a value that is an option is refused.
QList<QByteArray> SyxPaths(const QList<QByteArray>& given) {
    QList<QByteArray> paths;
    for (qsizetype i = 1; i < given.size(); ++i) {
        if (given[i] == "--syx" && i + 1 < given.size()) {
            paths << given[++i];
        } else if (given[i].startsWith("--syx=")) {
            paths << given[i].mid(6);
        }
    }
    return paths;
}

// The options in the order --help shows them. Each is looked up by its name.
void AddOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Sends MIDI messages to one output: each message in the order given, and nothing at all\n"
        "when one of them is wrong. Without arguments, Kelvane opens its window."));
    for (const auto& [name, help, value] : kOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                            QString::fromLatin1(value)));
    }
    parser.addHelpOption();
    parser.addVersionOption();
}

QString LongName(const char* name) { return QStringLiteral("--") + QString::fromLatin1(name); }

// One of Kelvane's own options ("--to", "--to=3", "-h"), as against a value.
bool IsOwnOption(const QString& argument) {
    // QCommandLineParser adds these itself.
    static const QStringList added = {QStringLiteral("-h"),     QStringLiteral("-?"),
                                      QStringLiteral("--help"), QStringLiteral("--help-all"),
                                      QStringLiteral("-v"),     QStringLiteral("--version")};
    const QString name = argument.section(u'=', 0, 0);
    return added.contains(argument) ||
           std::any_of(std::begin(kOptions), std::end(kOptions),
                       [&name](const Option& option) { return name == LongName(option.name); });
}

// QCommandLineParser takes whatever follows an option as its value, even another option.
QString MissingValue(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        for (const auto& [name, help, value] : kOptions) {
            if (value != nullptr && arguments[i] == LongName(name) &&
                (i + 1 == arguments.size() || IsOwnOption(arguments[i + 1]))) {
                return QStringLiteral("%1 has no value (%2)")
                    .arg(arguments[i], QLatin1StringView(value));
            }
        }
    }
    return {};
}

// Any whole number: Pace counts rates above its fastest as the fastest, so one too long for 64
// bits is as good as the largest that fits.
std::optional<std::int64_t> BytesPerSecond(const QString& text) {
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return {};
    }
    bool fits = false;
    const qlonglong value = text.toLongLong(&fits);
    return fits ? value : std::numeric_limits<std::int64_t>::max();
}

}  // namespace

Parsed ParseArguments(const QList<QByteArray>& given) {
    QStringList arguments;
    for (const QByteArray& argument : given) {
        arguments << QFile::decodeName(argument);
    }
    QCommandLineParser parser;
    AddOptions(parser);
    const QString usage = parser.helpText().section(u'\n', 0, 0) +
                          QStringLiteral("\nTry 'kelvane --help' for more.\n");
    const auto refuse = [&usage](const QString& why) {
        return Parsed{{}, kRefused, {}, QStringLiteral("kelvane: ") + why + u'\n' + usage};
    };
    if (const QString missing = MissingValue(arguments); !missing.isEmpty()) {
        return refuse(missing);
    }
    if (!parser.parse(JoinCcValues(arguments))) {
        return refuse(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        return {{}, kSent, parser.helpText(), {}};
    }
    if (parser.isSet(QStringLiteral("version"))) {
        return {{},
                kSent,
                QStringLiteral("kelvane %1\n").arg(QCoreApplication::applicationVersion()),
                {}};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return refuse(QStringLiteral("unexpected argument '%1'")
                          .arg(parser.positionalArguments().constFirst()));
    }
    for (const QString& once : {QStringLiteral("to"), QStringLiteral("rate")}) {
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
        parsed.plan.bytesPerSecond = BytesPerSecond(rate.constFirst());
        if (!parsed.plan.bytesPerSecond) {
            return refuse(QStringLiteral("--rate %1: needs whole bytes per second, 0 for no pacing")
                              .arg(rate.constFirst()));
        }
    }
    QStringList refusals;
    std::map<QString, qsizetype> seen;
    const QList<QByteArray> syxPaths = SyxPaths(given);
    for (const QString& option : parser.optionNames()) {
        if (option != u"cc" && option != u"dec" && option != u"hex" && option != u"syx") {
            continue;
        }
        const qsizetype index = seen[option]++;
        Checked checked = option == u"syx" ? FileOf(syxPaths.at(index))
                                           : MessageOf(option, parser.values(option).at(index));
        if (checked.message) {
            parsed.plan.messages.push_back(std::move(*checked.message));
        } else {
            refusals << QStringLiteral("kelvane: ") + checked.refusal + u'\n';
        }
    }
    if (!refusals.isEmpty()) {
        return {{}, kRefused, {}, refusals.join(QString())};
    }
    if (parsed.plan.list == !parsed.plan.messages.empty()) {
        return refuse(parsed.plan.list ? QStringLiteral("--list sends nothing; give it alone")
                                       : QStringLiteral("no message to send"));
    }
    return parsed;
}

}  // namespace kelvane::cli

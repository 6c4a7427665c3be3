#include "cli/read_arguments.h"

#include <QFile>
#include <algorithm>

namespace kelvane::cli {
namespace {

// The option a name stands for; a letter names it as a word does ("--h" is "--help").
const Option* Named(QStringView name) {
    const std::span<const Option> options = Options();
    const auto found = std::ranges::find_if(options, [name](const Option& option) {
        return name == QLatin1StringView(option.name) ||
               (name.size() == 1 && option.letter != 0 && name[0] == QLatin1Char(option.letter));
    });
    return found == options.end() ? nullptr : &*found;
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
// "-?", which is no option here but would surely be a mistyped one.
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

// Qt's words for "--list=1" or "-h=3", which scripts may look for.
QString ValueAfterSwitch(const QString& argument) {
    return QStringLiteral("Unexpected value after '%1'.").arg(argument.section(u'=', 0, 0));
}

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
        found.unreadable = ValueAfterSwitch(argument);
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
        found.unreadable = ValueAfterSwitch(argument);
    }
}

}  // namespace

Arguments ReadArguments(const QList<QByteArray>& given) {
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

}  // namespace kelvane::cli

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <span>
#include <variant>

#include "cli/arguments.h"

namespace kelvane::cli {

// An option as given: its values as text, and as the shell passed them for a file's name.
struct Given {
    QString argument;  // "--cc 7 1 100", naming it in refusals and errors
    QStringList values;
    QList<QByteArray> bytes;
};

// The message, or why the values make none.
using Built = std::variant<Message, QString>;

struct Option {
    const char* name;
    char letter;             // the short form, "-h"; none: 0
    int values;              // how many arguments it takes; 0 for a switch
    const char* valueNames;  // one word each, as --help shows them
    const char* help;
    Built (*message)(const Given&);  // none for an option that sends nothing
};

// Every option, in the order --help shows them.
std::span<const Option> Options();

inline constexpr QLatin1StringView kUsage("Usage: kelvane [options]\n");

// The text of --help: the program is "kelvane" whatever path started it.
QString HelpText();

}  // namespace kelvane::cli

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/options.h"

namespace kelvane::cli {

// The arguments read, before anything is checked.
struct Arguments {
    std::vector<std::pair<const Option*, Given>> options;  // in the order given
    QString unreadable;  // an option without its value, or else a value given to a switch
    QStringList unknown;
    QStringList positional;
};

// The options of the arguments as the process got them, the program first, and what is not one.
Arguments ReadArguments(const QList<QByteArray>& given);

// What was given with the option the last time; none when it was not.
const Given* GivenFor(const Arguments& found, std::string_view name);
// Its first value.
std::optional<QString> ValueOf(const Arguments& found, std::string_view name);

}  // namespace kelvane::cli

#pragma once

#include <QByteArray>
#include <QList>
#include <QTextStream>

#include "cli/arguments.h"
#include "cli/pauses.h"

namespace kelvane::cli {

// Lists the devices on out, or sends the plan's messages in order and returns once they have left;
// problems, and on a terminal how far a long send is, go to err. Every wait is one of pauses.
// Returns the exit status.
int RunPlan(Plan plan, QTextStream& out, QTextStream& err, Pauses& pauses);

// Parses arguments (the program first), then runs them; returns the exit status.
int Run(const QList<QByteArray>& arguments, QTextStream& out, QTextStream& err, Pauses& pauses);

// Run on standard output and error, without a window.
int RunCommandLine(int argc, char** argv);

}  // namespace kelvane::cli

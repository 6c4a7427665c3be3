#pragma once

#include <QString>

namespace kelvane {

// "Kelvane 1.02" and three credit lines, joined by carriage returns, with no line end after the
// last.
QString AboutText();

}  // namespace kelvane

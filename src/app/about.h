#pragma once

#include <QString>

namespace kelvane {

// The About box's text: name and version ("Kelvane 1.02"), then three lines of credits, with a
// carriage return between lines and none at the end.
QString AboutText();

}  // namespace kelvane

#pragma once

#include <QString>

namespace kelvane::version {

// The project's version, as CMakeLists.txt sets it, and its text as both programs show it.
extern const int kMajor, kMinor, kPatch;
QString Text();  // "1.1.0"

}  // namespace kelvane::version

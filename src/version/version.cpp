#include "version/version.h"

namespace kelvane::version {

constinit const int kMajor = KELVANE_VERSION_MAJOR, kMinor = KELVANE_VERSION_MINOR,
                    kPatch = KELVANE_VERSION_PATCH;

QString Text() { return QStringLiteral("%1.%2.%3").arg(kMajor).arg(kMinor).arg(kPatch); }

}  // namespace kelvane::version

#pragma once

#include <QString>

namespace kelvane::cli {

// A device that has left is gone until the devices are listed anew, which here is --list.
inline QString DeviceGoneText() {
    return QStringLiteral("The device is gone; kelvane --list shows the devices there are now.");
}

}  // namespace kelvane::cli

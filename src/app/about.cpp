#include "app/about.h"

#include "text/text.h"

namespace kelvane {

QString AboutText() {
    const QString cr = Chr(13);
    return QStringLiteral("Kelvane 1.02") + cr +
           QStringLiteral("\u00A9 2019 the Kelvane developers") + cr +
           QStringLiteral("https://kelvane.org") + cr + QStringLiteral("developers@kelvane.org");
}

}  // namespace kelvane

#include "messages/send_progress_text.h"

namespace kelvane {

QString SendProgressText(const midi::SendProgress& progress) {
    const std::int64_t seconds = (progress.msLeft + 999) / 1000;
    const QString text = QStringLiteral("%1 of %2 bytes sent, about %3 s left")
                             .arg(progress.sentBytes)
                             .arg(progress.totalBytes)
                             .arg(seconds);
    if (!progress.leaving) {
        return text;
    }
    return text + (progress.cancelled
                       ? QStringLiteral("\nStopping after the message going out, which cannot "
                                        "be recalled.")
                       : QStringLiteral("\nCancel stops after the message going out, which "
                                        "cannot be recalled."));
}

}  // namespace kelvane

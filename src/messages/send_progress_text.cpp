#include "messages/send_progress_text.h"

namespace kelvane {

QString SendProgressText(const midi::SendProgress& progress) {
    const std::int64_t seconds = (progress.msLeft + 999) / 1000;
    return QStringLiteral("%1 of %2 bytes sent, about %3 s left")
        .arg(progress.sentBytes)
        .arg(progress.totalBytes)
        .arg(seconds);
}

QString LeavingText(const midi::SendProgress& progress) {
    if (!progress.leaving) {
        return {};
    }
    return progress.cancelled
               ? QStringLiteral("Stopping after the message going out, which cannot be recalled.")
               : QStringLiteral(
                     "Cancel stops after the message going out, which cannot be "
                     "recalled.");
}

}  // namespace kelvane

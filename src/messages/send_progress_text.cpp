#include "messages/send_progress_text.h"

namespace kelvane {

QString SendProgressText(const midi::SendProgress& progress) {
    const std::int64_t seconds = (progress.msLeft + 999) / 1000;
    return QStringLiteral("%1 of %2 bytes sent, about %3 s left")
        .arg(progress.sentBytes)
        .arg(progress.totalBytes)
        .arg(seconds);
}

QString UnpaceableWarningText(std::int64_t longestPaced) {
    return QStringLiteral(
               "This row holds a SysEx message longer than %1 bytes. A message is never cut, so it "
               "goes out in one piece, and a device that takes MIDI at cable speed may lose part "
               "of it. Send shorter messages to be safe.")
        .arg(longestPaced);
}

}  // namespace kelvane

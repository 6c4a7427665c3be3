#include "ui/syx_drop.h"

#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <utility>

#include "messages/syx_file.h"

namespace kelvane {
namespace {

// A larger file's row would freeze the window: at this size the field takes about 15 ms to show
// it and 15 ms for each key, at 1 MiB 0.4 s each, at 16 MiB 6 s (kelvane_mirror_bench).
constexpr qsizetype kMaxDropBytes = qsizetype{64} << 10;

// The local .syx file a drag carries, byte for byte as the URL encodes it (toLocalFile() would
// lose a name that is not UTF-8), or nothing.
QByteArray SyxPath(const QMimeData* mime) {
    if (mime == nullptr || mime->urls().size() != 1) {
        return {};
    }
    const QUrl url = mime->urls().constFirst();
    const bool syx = url.isLocalFile() && url.fileName().endsWith(u".syx", Qt::CaseInsensitive);
    return syx ? QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
               : QByteArray();
}

}  // namespace

DroppedRow DroppedSyxRow(const QByteArray& path) {
    const CheckedSysEx file = ReadSyx(path);
    const std::span<const std::uint8_t> bytes = file.messages.Bytes();
    QString problem = file.problem;
    if (problem.isEmpty() && std::ssize(bytes) > kMaxDropBytes) {
        problem = QStringLiteral(
                      "the file has %1 bytes, and the window takes up to %2; "
                      "kelvane --syx FILE sends it")
                      .arg(bytes.size())
                      .arg(kMaxDropBytes);
    }
    if (!problem.isEmpty()) {
        return {
            {},
            QFileInfo(QFile::decodeName(path)).fileName() + QStringLiteral(": ") + problem + u'.'};
    }
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    return {
        QString::fromLatin1(QByteArray::fromRawData(data, std::ssize(bytes)).toHex(' ').toUpper()),
        {}};
}

SyxDrop::SyxDrop(QObject& parent, std::function<void(const QByteArray&)> dropped)
    : QObject(&parent), dropped_(std::move(dropped)) {}

bool SyxDrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QByteArray path = SyxPath(drop->mimeData());
        if (!path.isEmpty()) {
            drop->acceptProposedAction();
            if (type == QEvent::Drop) {
                dropped_(path);
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kelvane

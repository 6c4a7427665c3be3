#include "messages/syx_file.h"

#include <QFile>
#include <cstdio>

#include "midi/sysex_check.h"

namespace kelvane {
namespace {

// A pipe or a device has no size: read until its end, but never much beyond the limit.
QByteArray ReadUpTo(QFile& file, qsizetype limit) {
    QByteArray bytes;
    char chunk[1 << 16];
    while (bytes.size() <= limit) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got <= 0) {
            break;  // the end, or an error that file.error() tells
        }
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
    return bytes;
}

}  // namespace

SyxFile ReadSyx(const QString& path) {
    QFile file;
    const auto unreadable = [&file] {
        return SyxFile{{}, QStringLiteral("the file cannot be read: ") + file.errorString()};
    };
    const SyxFile tooLarge{
        {}, QStringLiteral("the file is larger than %1 MiB").arg(kMaxSyxBytes >> 20)};
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        return unreadable();
    }
    if (!file.isSequential() && file.size() > kMaxSyxBytes) {
        return tooLarge;
    }
    QByteArray bytes = file.isSequential() ? ReadUpTo(file, kMaxSyxBytes) : file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return unreadable();
    }
    if (bytes.size() > kMaxSyxBytes) {
        return tooLarge;
    }
    if (bytes.isEmpty()) {
        return {{}, QStringLiteral("the file is empty")};
    }
    const std::span<const std::uint8_t> block(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              static_cast<std::size_t>(bytes.size()));
    const QString problem = midi::CheckSysEx(block).problem;
    if (!problem.isEmpty()) {
        return {{}, QStringLiteral("the file is not complete SysEx messages: ") + problem};
    }
    return {std::move(bytes), {}};
}

}  // namespace kelvane

#include "messages/syx_file.h"

#include <QFile>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

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

SyxFile ReadSyx(const QByteArray& path) {
    QFile file;
    const auto unreadable = [](const QString& why) {
        return SyxFile{{}, QStringLiteral("the file cannot be read: ") + why};
    };
    const SyxFile tooLarge{
        {}, QStringLiteral("the file is larger than %1 MiB").arg(kMaxSyxBytes >> 20)};
    // By the name's bytes: QFile's name is text, which a name that is not UTF-8 does not survive.
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return unreadable(qt_error_string(errno));
    }
    if (!file.open(fd, QIODevice::ReadOnly,
                   standardInput ? QFileDevice::DontCloseHandle : QFileDevice::AutoCloseHandle)) {
        return unreadable(file.errorString());
    }
    if (!file.isSequential() && file.size() > kMaxSyxBytes) {
        return tooLarge;
    }
    QByteArray bytes = file.isSequential() ? ReadUpTo(file, kMaxSyxBytes) : file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return unreadable(file.errorString());
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

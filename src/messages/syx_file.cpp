#include "messages/syx_file.h"

#include <QFile>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace kelvane {
namespace {

// Read until the end, but never much beyond the limit: a pipe or a device has no size.
std::vector<std::uint8_t> ReadUpTo(QFile& file, qsizetype limit) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[1 << 16];
    while (std::ssize(bytes) <= limit) {
        const qint64 got = file.read(reinterpret_cast<char*>(chunk), sizeof chunk);
        if (got <= 0) {
            break;  // the end, or an error that file.error() tells
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

}  // namespace

CheckedSysEx ReadSyx(const QByteArray& path) {
    QFile file;
    const auto unreadable = [](const QString& why) {
        return CheckedSysEx{{}, QStringLiteral("the file cannot be read: ") + why};
    };
    const CheckedSysEx tooLarge{
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
    std::vector<std::uint8_t> bytes = ReadUpTo(file, kMaxSyxBytes);
    if (file.error() != QFileDevice::NoError) {
        return unreadable(file.errorString());
    }
    if (std::ssize(bytes) > kMaxSyxBytes) {
        return tooLarge;
    }
    if (bytes.empty()) {
        return {{}, QStringLiteral("the file is empty")};
    }
    CheckedSysEx checked = CheckSysExBytes(MemoryBlock(std::move(bytes)));
    if (!checked.problem.isEmpty()) {
        checked.problem.prepend(QStringLiteral("the file is not complete SysEx messages: "));
    }
    return checked;
}

}  // namespace kelvane

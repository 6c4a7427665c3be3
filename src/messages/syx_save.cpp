#include "messages/syx_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <utility>

namespace kelvane {

SyxSave::SyxSave(QByteArray path)
    : path_(std::move(path)), temporary_(path_ + ".XXXXXX"), fd_(mkstemp(temporary_.data())) {
    if (fd_ < 0) {
        Fail();
        return;
    }
    // mkstemp makes the file private: give it the mode of the file it replaces, or of a new one.
    struct stat existing {};
    mode_t mode = 0;
    if (stat(path_.constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(fd_, mode) != 0) {
        Fail();
    }
}

SyxSave::~SyxSave() {
    if (fd_ >= 0) {
        close(fd_);
        unlink(temporary_.constData());
    }
}

bool SyxSave::Commit(std::span<const QByteArray> messages) {
    if (fd_ < 0) {
        return false;
    }
    for (const QByteArray& message : messages) {
        for (qsizetype done = 0; done < message.size();) {
            const ssize_t written = write(fd_, message.constData() + done,
                                          static_cast<std::size_t>(message.size() - done));
            if (written < 0 && errno != EINTR) {
                return Fail();
            }
            done += written > 0 ? written : 0;
        }
    }
    if (fsync(fd_) != 0 || close(std::exchange(fd_, -1)) != 0 ||
        rename(temporary_.constData(), path_.constData()) != 0) {
        const QString problem = qt_error_string(errno);
        unlink(temporary_.constData());
        problem_ = problem;
        return false;
    }
    return true;
}

bool SyxSave::Fail() {
    problem_ = qt_error_string(errno);
    if (fd_ >= 0) {
        close(std::exchange(fd_, -1));
        unlink(temporary_.constData());
    }
    return false;
}

}  // namespace kelvane

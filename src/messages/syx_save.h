#pragma once

#include <QByteArray>
#include <QString>
#include <span>

namespace kelvane {

// A .syx file written whole or not at all: the bytes go to a temporary file beside it, which
// takes its place once complete. The path is the file's name as the system has it, byte for
// byte, whatever its encoding.
class SyxSave {
public:
    // Creates the temporary file, so that a name that cannot be written is known before anything
    // is asked for.
    explicit SyxSave(QByteArray path);
    // Without Commit, the temporary file goes and the file stays as it was.
    ~SyxSave();
    SyxSave(const SyxSave&) = delete;
    SyxSave& operator=(const SyxSave&) = delete;

    // Why the file cannot be written (a clause: "No such file or directory"); empty when it can.
    const QString& Problem() const { return problem_; }
    // Writes the messages back to back and puts the file in place; false when Problem says why.
    bool Commit(std::span<const QByteArray> messages);

private:
    bool Fail();

    QByteArray path_;
    QByteArray temporary_;
    int fd_;  // of the temporary file; -1 once it is closed, or when it could not be made
    QString problem_;
};

}  // namespace kelvane

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

namespace kelvane {

// What a dropped .syx file puts into the hex field: its bytes as two-digit hex values, or the
// message that says why nothing changes (not SysEx, or too large to show).
struct DroppedRow {
    QString hex;
    QString problem;
};

// path: the file's name as the system has it, byte for byte.
DroppedRow DroppedSyxRow(const QByteArray& path);

// Takes drags of one local .syx file on the objects it is installed on, handing each drop's path
// to dropped; other drags go on as before.
class SyxDrop final : public QObject {
public:
    SyxDrop(QObject& parent, std::function<void(const QByteArray&)> dropped);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QByteArray&)> dropped_;
};

}  // namespace kelvane

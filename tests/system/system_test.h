// Shared by the system tests: commands run beside them or to their end, and SysEx told apart.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <fstream>
#include <string>

namespace kelvane::system {

using Clock = std::chrono::steady_clock;

constexpr bool kSanitized = KELVANE_SANITIZED;  // a second more to start and end a process

inline std::string Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "";
}

// Whether the file holds the text within five seconds.
inline bool Shows(const QString& path, const std::string& text) {
    return QTest::qWaitFor([&] { return Read(path).find(text) != std::string::npos; });
}

inline QString Syx(const std::string& bytes, const QString& path = "/tmp/k.syx") {
    std::ofstream(path.toStdString()) << bytes;
    return path;
}

// The bytes as aseqdump prints them: "F0 7E F7".
inline std::string Hex(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toHex(' ').toUpper().toStdString();
}

// count messages of size bytes, each byte told apart by its message and place.
inline std::string Messages(int count, std::size_t size = 256) {
    std::string block;
    for (std::size_t m = 0; m < std::size_t(count); ++m) {
        for (std::size_t i = 0; i < size; ++i) {
            block += i == 0 ? '\xF0' : i + 1 == size ? '\xF7' : char((m + i / 1024 * 7 + i) % 128);
        }
    }
    return block;
}

// A command run beside the test, what it prints kept; killed with the object.
struct Beside : QProcess {
    explicit Beside(const QStringList& command) {
        start(command.first(), command.mid(1));
        EXPECT_TRUE(waitForStarted());
    }
    ~Beside() override {
        kill();
        waitForFinished();
    }
    std::string Output(qsizetype atLeast = 0, int ms = 10000) {
        (void)QTest::qWaitFor([&] { return bytesAvailable() >= atLeast; }, ms);
        return peek(bytesAvailable()).toStdString();
    }
    // Its status once it ended within ms, the events handled meanwhile; -1 when it did not.
    int Ended(int ms = 30000) {
        return QTest::qWaitFor([this] { return state() == NotRunning; }, ms) ? exitCode() : -1;
    }
};

// kelvane run to its end.
struct Ran {
    explicit Ran(const QStringList& arguments, const QString& input = QProcess::nullDevice()) {
        QProcess kelvane;
        kelvane.setStandardInputFile(input);
        kelvane.start(KELVANE_PROGRAM, arguments);
        EXPECT_TRUE(kelvane.waitForFinished(60000));
        ended = Clock::now();
        status = kelvane.exitCode();
        out = kelvane.readAllStandardOutput().toStdString();
        err = kelvane.readAllStandardError().toStdString();
    }
    int status;
    std::string out, err;
    Clock::time_point ended;
};

}  // namespace kelvane::system

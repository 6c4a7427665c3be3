#include "messages/checked_sysex.h"

#include <variant>

#include "text/number_text.h"

namespace kelvane {

QString SysExProblemText(const midi::SysExProblem& problem, const QString& subject,
                         const QString& shown) {
    using Kind = midi::SysExProblem::Kind;
    const QString byte = QString::number(problem.at + 1);
    switch (problem.kind) {
        case Kind::kNoBytes:
            return subject + QStringLiteral(" has no bytes");
        case Kind::kNoStart:
            return QStringLiteral("%1 does not start with F0 (byte 1 is %2)").arg(subject, shown);
        case Kind::kNotData:
            return QStringLiteral("byte %1 (%2) is not a data byte 00–7F").arg(byte, shown);
        case Kind::kAfterEnd:
            return QStringLiteral("byte %1 (%2) follows the closing F7").arg(byte, shown);
        case Kind::kNoClosingF7:
            return QStringLiteral("the message starting at byte %1 has no closing F7").arg(byte);
    }
    return {};
}

QString ShownByte(std::int64_t value) {
    // Whole numbers from an integer are exact as doubles, so Hex shows them unchanged.
    const QString digits = Hex(static_cast<double>(value));
    return value >= 0 && value <= 0xF ? QLatin1Char('0') + digits : digits;
}

CheckedSysEx CheckSysExBytes(MemoryBlock block) {
    auto checked = midi::SysExBlock::Check(std::move(block));
    if (const auto* problem = std::get_if<midi::SysExProblem>(&checked)) {
        return {{},
                SysExProblemText(*problem, QStringLiteral("the data"), ShownByte(problem->value))};
    }
    return {std::get<midi::SysExBlock>(std::move(checked)), {}};
}

}  // namespace kelvane

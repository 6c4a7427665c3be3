#include "messages/sysex_row.h"

#include <optional>
#include <vector>

#include "midi/sysex_check.h"
#include "text/integer.h"
#include "text/number_text.h"
#include "text/text.h"

namespace kelvane {
namespace {

std::vector<std::int64_t> RowValues(const QList<QStringView>& tokens, double (*read)(QStringView)) {
    std::vector<std::int64_t> values;
    values.reserve(static_cast<std::size_t>(tokens.size()));
    for (const QStringView token : tokens) {
        values.push_back(ToInt64(read(token)));
    }
    return values;
}

QStringView WithoutEndSpaces(QStringView row) {
    qsizetype first = 0;
    qsizetype end = row.size();
    while (first < end && row[first] == u' ') {
        ++first;
    }
    while (end > first && row[end - 1] == u' ') {
        --end;
    }
    return row.sliced(first, end - first);
}

// Checked as values, before they are stored as bytes, so that a value that does not fit in a byte
// (300, -1) is named as typed rather than by its low 8 bits.
CheckedSysEx SendableBytes(QStringView row, double (*read)(QStringView)) {
    const QStringView trimmed = WithoutEndSpaces(row);
    // Nothing between the spaces is no value at all, not one empty value.
    const QList<QStringView> tokens =
        trimmed.isEmpty() ? QList<QStringView>() : SysExTokens(trimmed);
    const std::vector<std::int64_t> values = RowValues(tokens, read);
    if (const std::optional<midi::SysExProblem> problem = midi::FindSysExProblem(values)) {
        // An empty token, between two spaces, has only its value to show.
        const auto at = static_cast<qsizetype>(problem->at);
        const QString shown = at < tokens.size() && !tokens[at].isEmpty()
                                  ? tokens[at].toString()
                                  : ShownByte(problem->value);
        return {{}, SysExProblemText(*problem, QStringLiteral("the row"), shown)};
    }
    MemoryBlock block(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        block.SetByte(i, values[i]);
    }
    return CheckSysExBytes(std::move(block));
}

}  // namespace

QList<QStringView> SysExTokens(QStringView row) { return Split(row, u' '); }

CheckedSysEx DecimalSysExBytes(QStringView row) { return SendableBytes(row, Val); }

CheckedSysEx HexSysExBytes(QStringView row) { return SendableBytes(row, ValHex); }

QString HexMirror(QStringView row) {
    QString mirror;
    mirror.reserve(row.size());
    bool first = true;
    for (const QStringView token : SysExTokens(row)) {
        if (!first) {
            mirror.append(u' ');
        }
        first = false;
        AppendHex(mirror, Val(token));
    }
    return mirror;
}

bool HasEnoughSysExData(QStringView row) { return Len(row) > 2; }

}  // namespace kelvane

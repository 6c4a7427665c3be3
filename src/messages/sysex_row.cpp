#include "messages/sysex_row.h"

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

SysExRowBytes SendableBytes(QStringView row, double (*read)(QStringView)) {
    const QStringView values = WithoutEndSpaces(row);
    // Nothing between the spaces is no value at all, not one empty value.
    const QList<QStringView> tokens = values.isEmpty() ? QList<QStringView>() : SysExTokens(values);
    return midi::CheckSysExRow(RowValues(tokens, read), tokens);
}

}  // namespace

QList<QStringView> SysExTokens(QStringView row) { return Split(row, u' '); }

SysExRowBytes DecimalSysExBytes(QStringView row) { return SendableBytes(row, Val); }

SysExRowBytes HexSysExBytes(QStringView row) { return SendableBytes(row, ValHex); }

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

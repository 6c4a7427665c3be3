#include "messages/sysex_row.h"

#include "text/integer.h"
#include "text/number_text.h"
#include "text/text.h"

namespace kelvane {
namespace {

template <typename ReadToken>
MemoryBlock RowBytes(QStringView row, ReadToken read) {
    const QList<QStringView> tokens = SysExTokens(row);
    MemoryBlock block(static_cast<std::size_t>(tokens.size()));
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        block.SetByte(static_cast<std::size_t>(i), ToInt64(read(tokens[i])));
    }
    return block;
}

}  // namespace

QList<QStringView> SysExTokens(QStringView row) { return Split(row, u' '); }

MemoryBlock DecimalRowBytes(QStringView row) { return RowBytes(row, Val); }

MemoryBlock HexRowBytes(QStringView row) { return RowBytes(row, ValHex); }

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

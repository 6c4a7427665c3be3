#include "fuzz_text.h"
#include "messages/sysex_row.h"
#include "text/integer.h"
#include "text/number_text.h"

namespace {

// Pure digits whose value is at most 2^63 - 1.
bool IsWholeNumberInRange(QStringView token) {
    if (token.isEmpty() || token.size() > 19) {
        return false;
    }
    for (const QChar c : token) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return token.size() < 19 || token <= u"9223372036854775807";
}

bool IsUpperHex(QStringView piece) {
    if (piece.isEmpty() || piece.size() > 16) {
        return false;
    }
    for (const QChar c : piece) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return piece.size() == 1 || piece[0] != u'0';
}

}  // namespace

// One byte and one mirror piece per token; and for rows of whole numbers the hex path reads the
// mirror back to the very bytes the decimal path sends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvane;
    const QString row = fuzz::TextFrom(data, size);
    const QList<QStringView> tokens = SysExTokens(row);
    const MemoryBlock bytes = DecimalRowBytes(row);
    const QString mirror = HexMirror(row);
    const QList<QStringView> pieces = SysExTokens(mirror);
    KELVANE_FUZZ_CHECK(bytes.Size() == static_cast<std::size_t>(tokens.size()));
    KELVANE_FUZZ_CHECK(pieces.size() == tokens.size());

    bool whole = true;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const double value = Val(tokens[i]);
        KELVANE_FUZZ_CHECK(bytes.Byte(static_cast<std::size_t>(i)) ==
                           static_cast<std::uint8_t>(ToInt64(value) & 0xFF));
        KELVANE_FUZZ_CHECK(IsUpperHex(pieces[i]));
        whole = whole && IsWholeNumberInRange(tokens[i]);
    }
    if (whole) {
        KELVANE_FUZZ_CHECK(HexRowBytes(mirror) == bytes);
    }
    return 0;
}

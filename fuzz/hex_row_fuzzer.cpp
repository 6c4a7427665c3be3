#include "fuzz_text.h"
#include "messages/sysex_row.h"
#include "text/integer.h"
#include "text/number_text.h"
#include "text/text.h"

// One byte per token, each the low 8 bits of the token read behind "&h".
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvane;
    const QString row = fuzz::TextFrom(data, size);
    const QList<QStringView> tokens = SysExTokens(row);
    const MemoryBlock bytes = HexRowBytes(row);
    KELVANE_FUZZ_CHECK(bytes.Size() == static_cast<std::size_t>(tokens.size()));
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const double value = Val(QStringLiteral("&h") + tokens[i].toString());
        KELVANE_FUZZ_CHECK(bytes.Byte(static_cast<std::size_t>(i)) ==
                           static_cast<std::uint8_t>(ToInt64(value) & 0xFF));
    }
    KELVANE_FUZZ_CHECK(HasEnoughSysExData(row) == (Len(row) >= 3));
    return 0;
}

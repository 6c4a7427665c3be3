#include "fuzz_text.h"
#include "text/text.h"

// Every space separates and nothing is lost: the pieces joined by spaces are the text again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = kelvane::fuzz::TextFrom(data, size);
    const QList<QStringView> pieces = kelvane::Split(text, u' ');
    KELVANE_FUZZ_CHECK(pieces.size() == text.count(u' ') + 1);
    QString joined;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        KELVANE_FUZZ_CHECK(!pieces[i].contains(u' '));
        if (i > 0) {
            joined += u' ';
        }
        joined += pieces[i];
    }
    KELVANE_FUZZ_CHECK(joined == text);
    KELVANE_FUZZ_CHECK(kelvane::Len(text) <= text.size());
    return 0;
}

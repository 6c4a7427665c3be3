#include "text/text.h"

namespace kelvane {

std::int64_t Len(QStringView text) {
    std::int64_t pairs = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) {
            ++pairs;
            ++i;
        }
    }
    return text.size() - pairs;
}

QString Chr(char32_t code) {
    const bool isCharacter = code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    const char32_t shown = isCharacter ? code : U'\uFFFD';
    return QString::fromUcs4(&shown, 1);
}

QList<QStringView> Split(QStringView text, QChar separator) {
    return text.split(separator, Qt::KeepEmptyParts);
}

}  // namespace kelvane

#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace kelvane {

// The number of characters (Unicode code points): a character outside the Basic Multilingual Plane
// counts 1, and so does an unpaired surrogate.
std::int64_t Len(QStringView text);

// A text of the one character with the given code; codes that are not characters give U+FFFD.
QString Chr(char32_t code);

// Cuts text at every separator character. Empty pieces are kept, so the result has one more piece
// than there are separators: the empty text gives one empty piece. The pieces view text, which must
// outlive them.
QList<QStringView> Split(QStringView text, QChar separator);

}  // namespace kelvane

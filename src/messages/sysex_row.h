#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include "messages/checked_sysex.h"

namespace kelvane {

inline constexpr char16_t kNotEnoughSysEx[] = u"Not enough SysEx data in the text field.";

// The tokens of a row: each space ends one, so two spaces side by side make an empty token, which
// still counts.
QList<QStringView> SysExTokens(QStringView row);

// Hex of each token's Val, joined by single spaces.
QString HexMirror(QStringView row);

// What a row sends: one byte per token, its Val truncated (a hexadecimal token is read as if
// "&h" stood in front of it). Spaces at either end of the row are no values, and a value that
// does not fit in a byte is refused rather than cut to its low 8 bits; the problem's subject is
// "the row".
CheckedSysEx DecimalSysExBytes(QStringView row);
CheckedSysEx HexSysExBytes(QStringView row);

// A row may be sent when it has at least 3 characters.
bool HasEnoughSysExData(QStringView row);

}  // namespace kelvane

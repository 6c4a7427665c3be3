#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

#include "midi/midi_event.h"

namespace kelvane {

inline constexpr char16_t kCcNumberRefusal[] = u"CC number are 0 to 127 only.";
inline constexpr char16_t kCcChannelRefusal[] = u"CC channel are 1 to 16 only.";
inline constexpr char16_t kCcValueRefusal[] = u"CC value are 0 to 127 only.";

// The message, or the text that refuses it (then message is meaningless).
struct ControlChangeBuild {
    midi::MidiEvent message;
    QString refusal;
};

// status = 176 + trunc(Val(channel) - 1), controller = trunc(Val(number)), value as given.
// The number must read 0 <= n < 128 from a non-empty text; it is checked first. A channel whose
// status falls outside B0-BF would send another kind of message, so it is refused too.
ControlChangeBuild BuildControlChange(QStringView channelText, QStringView numberText,
                                      std::int64_t value);

// The same with the value typed as text, read and bounded like the number and checked last.
ControlChangeBuild BuildControlChange(QStringView channelText, QStringView numberText,
                                      QStringView valueText);

}  // namespace kelvane

#include "messages/control_change.h"

#include "text/integer.h"
#include "text/number_text.h"
#include "text/text.h"

namespace kelvane {
namespace {
constexpr std::int64_t kControlChangeStatus = 176;
constexpr std::int64_t kLastChannelStatus = kControlChangeStatus + 15;

bool IsDataText(QStringView text, double number) {
    return number >= 0.0 && number < 128.0 && Len(text) >= 1;
}
}  // namespace

ControlChangeBuild BuildControlChange(QStringView channelText, QStringView numberText,
                                      std::int64_t value) {
    const std::int64_t channelIndex = ToInt64(Val(channelText) - 1.0);
    const double number = Val(numberText);
    if (!IsDataText(numberText, number)) {
        return {{}, QString::fromUtf16(kCcNumberRefusal)};
    }
    // Compared before adding, so that no channel text can overflow the sum.
    if (channelIndex < 0 || channelIndex > kLastChannelStatus - kControlChangeStatus) {
        return {{}, QString::fromUtf16(kCcChannelRefusal)};
    }
    midi::MidiEvent message;
    message.Set(kControlChangeStatus + channelIndex, ToInt64(number), value);
    return {message, {}};
}

ControlChangeBuild BuildControlChange(QStringView channelText, QStringView numberText,
                                      QStringView valueText) {
    const double value = Val(valueText);
    ControlChangeBuild built = BuildControlChange(channelText, numberText, ToInt64(value));
    if (built.refusal.isEmpty() && !IsDataText(valueText, value)) {
        built.refusal = QString::fromUtf16(kCcValueRefusal);
    }
    return built;
}

}  // namespace kelvane

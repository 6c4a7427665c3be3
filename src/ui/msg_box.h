#pragma once

#include <QString>
#include <functional>

namespace kelvane {

// Shows text in a modal message box and returns once the user has dismissed it. Carriage
// returns start new lines. Every message of the program goes through here.
void MsgBox(const QString& text);

// Puts hook in place of the modal box (tests read the texts this way); an empty hook restores
// the box. Returns the hook that was in place.
using MsgBoxHook = std::function<void(const QString&)>;
MsgBoxHook SetMsgBoxHook(MsgBoxHook hook);

}  // namespace kelvane

#pragma once

#include <QString>
#include <functional>

namespace kelvane {

// The program's one way to tell the user something: a modal box, dismissed before this returns.
// A carriage return in text breaks the line.
void MsgBox(const QString& text);

// Puts hook in place of the modal box (tests read the texts this way); an empty hook restores
// the box. Returns the hook that was in place.
using MsgBoxHook = std::function<void(const QString&)>;
MsgBoxHook SetMsgBoxHook(MsgBoxHook hook);

}  // namespace kelvane

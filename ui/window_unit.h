// What the window commands need from the window unit type: the destroy-pending
// mark and the deferred destruction. Implemented by the window unit (ui/win/).
#pragma once

#include "ui/unit_model.h"

namespace bv {

// Posted to a window's native window to carry out a deferred destruction
// (the application message range base 0x8000 plus 0x65).
inline constexpr unsigned kMsgDestroyWindow = 0x8065;

// Sets the window's destroy-pending mark.
void MarkDestroyPending(UnitObject* window);
// Carries out the destruction if the mark is still set: clears it, gives back
// the enabled state of windows its modal showing disabled, destroys the
// native window. Nothing when the mark is clear.
void CarryOutDestroy(UnitObject* window);
// Whether the window's destroy-pending mark is set (false for anything that is
// not a window).
bool IsDestroyPending(UnitObject* window);

}  // namespace bv

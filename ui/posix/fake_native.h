// The native tree's stand-in for native windows: plain records with a parent,
// a rectangle, visible and enabled flags, a stacking order among siblings and
// one keyboard focus. The native tests' fake unit types create them here.
#pragma once

#include <cstdint>

#include "ui/unit_platform.h"

namespace bv::fakenative {

// Called when the record is destroyed (the native window's last message).
using DestroyHook = void (*)(void* context);

// A new record, last in its parent's stacking order.
void* Create(void* parent, const unitplatform::NativeRect& rect, bool visible, bool enabled,
             DestroyHook hook, void* context);
bool Exists(void* native);
// Place among its siblings, 0 first; -1 for a record that does not exist.
int StackIndex(void* native);
void* Focused();
// Counts the calls of ProcessWaitingMessages.
int MessagePumps();
// Destroys every record left (without calling hooks) and clears the counters.
void Reset();

}  // namespace bv::fakenative

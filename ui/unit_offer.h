// Contract surface this program never reaches: what a unit type, built in or
// brought by a library, and the logic may call on the runtime. This program's
// own code uses only part of it; the rest stays because a caller relies on the
// whole of it.
//
//   Services by number, through RuntimeService (runtime/service.h):
//     2023 to 2028  release an array, allocate, release, reallocate, fatal
//                   error, end the program (runtime/service.cpp)
//     2000 a unit is gone, 2006 and 2007 find a unit (or fail), 2008 raise a
//     plain event, 2009 and 2010 process the waiting messages and block or
//     unblock events, 2031 raise a typed event (ui/unit_model.cpp)
//     (3, the logic's end callback, and 6, initialise, are the frame's
//     services to the logic's entry: ui/win/frame.cpp)
//   Idle callbacks: run by the message loop while the unit's window exists.
//   Modal restore: destroying a window gives back the enabled state of the
//     windows its modal showing disabled (CarryOutDestroy, ui/window_unit.h).
//   Ending from another thread: the end request goes to the main thread
//     through the frame's hidden window, and the end sequence runs there
//     (RunEndSequence, ui/win/frame.cpp).
//   The part argument of ReadUnitProperty and WriteUnitProperty: taken and
//     ignored, as every value is read and written whole (ui/unit_model.h).
#pragma once

namespace bv {

// Adds the unit services (2000, 2006 to 2010, 2031) to the runtime service
// entry.
void RegisterUnitServices();

// Calls `fn` in the message loop's idle phase while `native_window` exists
// (newest first; entries whose window is gone are dropped).
using IdleCallback = void (*)(void* arg);
void AddIdleCallback(void* native_window, IdleCallback fn, void* arg);

}  // namespace bv

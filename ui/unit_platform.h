// What the unit model needs from native windows: geometry, visibility and
// enabled state for the common properties, destruction, stacking place and
// focus for rebuilding a unit, the thread's waiting messages (services 2009
// and 2010, and the window load), and the default GUI font's record.
// Implemented in ui/win/ for the product and in ui/posix/ as an in-memory
// stand-in for the native tests.
#pragma once

#include <cstdint>

namespace bv::unitplatform {

struct NativeRect {
  std::int32_t left = 0, top = 0, width = 0, height = 0;
};

// Outer rectangle: relative to the parent's client area for a child, screen
// coordinates for a top-level window.
NativeRect NativeRectOf(void* native);
// The native window's own visible flag (not whether its parent shows it).
bool NativeVisible(void* native);
bool NativeEnabled(void* native);

void NativeMove(void* native, const NativeRect& rect);
void NativeShow(void* native, bool visible);
void NativeEnable(void* native, bool enabled);
void NativeDestroy(void* native);

// Puts `native` directly after `sibling` in the stacking order of their parent.
void NativePlaceAfter(void* native, void* sibling);
// Whether `native` or one of its descendants has the keyboard focus.
bool NativeHasFocus(void* native);
void NativeFocus(void* native);

// Processes the thread's waiting messages, stopping before a quit request and
// after a bounded number, so that a window posting to itself cannot hold the
// caller.
void ProcessWaitingMessages();

// The platform's logical-font record of the default GUI font.
inline constexpr std::int32_t kFontRecordSize = 60;
void DefaultGuiFont(std::uint8_t (&record)[kFontRecordSize]);

}  // namespace bv::unitplatform

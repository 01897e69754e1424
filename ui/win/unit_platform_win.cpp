#include <windows.h>

#include <cstring>

#include "ui/unit_platform.h"
#include "ui/win/native_unit.h"

namespace bv::unitplatform {

namespace {
HWND H(void* native) { return static_cast<HWND>(native); }
bool IsChildWindow(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) != 0; }
}  // namespace

NativeRect NativeRectOf(void* native) {
  HWND h = H(native);
  RECT r{};
  if (!IsWindow(h) || !GetWindowRect(h, &r)) return {};
  if (IsChildWindow(h)) {
    if (HWND parent = GetParent(h)) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool NativeVisible(void* native) {
  HWND h = H(native);
  return IsWindow(h) && (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool NativeEnabled(void* native) { return IsWindow(H(native)) && IsWindowEnabled(H(native)); }

void NativeMove(void* native, const NativeRect& r) {
  SetWindowPos(H(native), nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void NativeShow(void* native, bool visible) {
  HWND h = H(native);
  // Showing a unit must not steal the activation from whatever the user is in.
  ShowWindow(h, visible ? (IsChildWindow(h) ? SW_SHOWNA : SW_SHOW) : SW_HIDE);
}

void NativeEnable(void* native, bool enabled) { EnableWindow(H(native), enabled ? TRUE : FALSE); }

void NativeDestroy(void* native) {
  if (IsWindow(H(native))) DestroyWindow(H(native));
}

void NativePlaceAfter(void* native, void* sibling) {
  SetWindowPos(H(native), H(sibling), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool NativeHasFocus(void* native) {
  HWND focus = GetFocus();
  return focus && (focus == H(native) || IsChild(H(native), focus));
}

void NativeFocus(void* native) { SetFocus(H(native)); }

void ProcessWaitingMessages() {
  // Bounded, so that a window that keeps posting to itself cannot hold us here.
  MSG msg;
  for (int i = 0; i < 100000; ++i) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message == WM_QUIT) return;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    if (msg.message == WM_QUIT) {
      // Another thread's quit slipped in between: leave it for the loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void DefaultGuiFont(std::uint8_t (&record)[kFontRecordSize]) {
  static_assert(sizeof(FontRecord) == kFontRecordSize);
  const FontRecord font = win::DefaultGuiFontRecord();
  std::memcpy(record, &font, sizeof font);
}

}  // namespace bv::unitplatform

// Minimal native unit types for tests of the unit model and the window
// commands: a top-level window that carries out its deferred destruction on
// kMsgDestroyWindow, and a label-like child (a STATIC control) with one text
// property. Both report themselves gone when their native window goes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "tests/support/window_loader.h"
#include "ui/unit_model.h"
#include "ui/window_unit.h"

namespace bvtest {

struct FakeWindowUnit : bv::UnitObject {
  bool destroy_pending = false;
  int destroyed = 0;
  std::string caption;
};

inline int g_fake_destroy_count = 0;

inline LRESULT CALLBACK FakeWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* unit = reinterpret_cast<FakeWindowUnit*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (msg == bv::kMsgDestroyWindow && unit) {
    bv::CarryOutDestroy(unit);
    return 0;
  }
  if (msg == WM_NCDESTROY && unit) {
    SetWindowLongPtrA(h, GWLP_USERDATA, 0);
    ++g_fake_destroy_count;
    bv::ReportUnitGone(unit->window_id, unit->unit_id);
    delete unit;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

inline LRESULT CALLBACK FakeChildProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  if (msg == WM_NCDESTROY) {
    auto* unit = reinterpret_cast<FakeWindowUnit*>(ref);
    bv::ReportUnitGone(unit->window_id, unit->unit_id);
    delete unit;
  }
  return DefSubclassProc(h, msg, wp, lp);
}

inline bv::UnitObject* CreateFakeUnit(const bv::UnitCreateInfo& info) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FakeWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BvFakeWindow";
    RegisterClassA(&wc);
    registered = true;
  }
  auto* unit = new FakeWindowUnit;
  unit->window_id = info.window;
  unit->unit_id = info.unit;
  unit->type = info.type;
  const bv::CommonState& c = *info.common;
  HWND h;
  if (!info.parent) {
    h = CreateWindowExA(0, "BvFakeWindow", "fake", WS_OVERLAPPEDWINDOW, c.left, c.top, c.width, c.height, nullptr,
                        nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(unit));
  } else {
    h = CreateWindowExA(0, "STATIC", "", WS_CHILD, c.left, c.top, c.width, c.height,
                        static_cast<HWND>(info.parent->native), nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowSubclass(h, FakeChildProc, 1, reinterpret_cast<DWORD_PTR>(unit));
  }
  unit->native = h;
  return unit;
}

inline bool WriteFakeUnit(bv::UnitObject* u, std::int32_t, const bv::RawProperty& v) {
  static_cast<FakeWindowUnit*>(u)->caption.assign(static_cast<const char*>(v.data), v.size);
  return false;
}
inline bv::RawProperty ReadFakeUnit(bv::UnitObject* u, std::int32_t) {
  auto* unit = static_cast<FakeWindowUnit*>(u);
  return {0, unit->caption.c_str(), static_cast<std::int32_t>(unit->caption.size())};
}

inline constexpr bv::UnitTypeOps kFakeUnitOps{CreateFakeUnit, ReadFakeUnit, WriteFakeUnit};

inline const std::int32_t kFakeTextProperty[1] = {1005};
inline const bv::UnitTypeRecord kFakeWindowType =
    {"window", bv::kUnitWindow, 0x800000D0, kFakeTextProperty, 1, kFakeUnitOps};
inline const bv::UnitTypeRecord kFakeLabelType =
    {"Label", bv::kUnitLabel, 0x84012040, kFakeTextProperty, 1, kFakeUnitOps};

inline constexpr bv::WindowId kFakeWin = 0x52010001;
inline constexpr bv::UnitId kFakeWinUnit = 0x06010000;
inline constexpr bv::UnitId kFakeLabel = 0x1601002a;

inline const bv::UnitTemplate kFakeUnits[] = {
    {kFakeWinUnit, "w", bv::kUnitWindow, 50, 60, 300, 200, bv::kUnitVisible, 0, nullptr, nullptr, 0},
    {kFakeLabel, "l", bv::kUnitLabel, 80, 10, 60, 20, bv::kUnitVisible, 1, nullptr, nullptr, 0},
};
inline const bv::WindowTemplate kFakeTemplate{kFakeWin, kFakeUnits, 2, nullptr, 0};
inline const bv::WindowTemplate* const kFakeWindows[] = {&kFakeTemplate};

// Installs the fake window as the one program window (with `bindings`, if any)
// and registers the fake types.
inline void InstallFakeWindow(const bv::EventHandler* handlers = nullptr, std::int32_t handler_count = 0,
                              const bv::WindowTemplate* tmpl = &kFakeTemplate) {
  bv::RegisterUnitType(&kFakeWindowType);
  bv::RegisterUnitType(&kFakeLabelType);
  static const bv::WindowTemplate* windows[1];
  windows[0] = tmpl;
  bv::InstallProgramWindows(windows, 1, handlers, handler_count);
}

// Loads the fake window, showing its units without taking the activation.
inline void LoadFakeWindow() {
  LoadWindowUnits(kFakeWin, CreateFakeUnit, [](void* native) { ShowWindow(static_cast<HWND>(native), SW_SHOWNA); });
}

// Delivers waiting messages until `done` holds, at most `rounds` times 10 ms.
template <class Done>
bool PumpUntil(Done done, int rounds = 300) {
  for (int i = 0; i < rounds && !done(); ++i) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!done()) Sleep(10);
  }
  return done();
}

}  // namespace bvtest

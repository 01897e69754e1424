// The window unit: a top-level window drawn in the 3-D face colour, its border,
// boxes and stacking as its type data asks.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/win/wide_text.h"
#include "ui/win/core_unit_types.h"
#include "ui/win/native_unit.h"
#include "ui/window_unit.h"

namespace bv {

namespace win {

namespace {

const wchar_t kWindowClass[] = L"BrisvaleWindow";

class WindowUnit : public NativeUnit {
 public:
  std::string title;
  bool destroy_pending = false;
  // Windows that showing this window modally disabled, with their earlier
  // state: part of the runtime's offer to units (ui/unit_offer.h); this
  // program shows no window modally.
  std::vector<std::pair<HWND, bool>> modal_disabled;

  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    (void)wp, (void)lp;
    switch (msg) {
      case WM_CLOSE: {
        // Event 1 may keep the window open by answering false. Its handler may
        // also have destroyed the window, and this object with it: from here
        // on only the handle is used.
        HWND self = hwnd();
        PlainEventRecord record = RaisePlainEvent(this, window_event::kClose);
        if (IsWindow(self) && !(record.has_result && record.result == 0)) DestroyWindow(self);
        *result = 0;
        return true;
      }
      case kMsgDestroyWindow:
        CarryOutDestroy(this);
        *result = 0;
        return true;
      default:
        return false;
    }
  }
};

UnitObject* CreateWindowUnit(const UnitCreateInfo& info) {
  WindowTypeData data;
  if (info.data && info.data_size >= static_cast<std::int32_t>(sizeof data))
    data = *static_cast<const WindowTypeData*>(info.data);
  // The class, and with it the icon, comes from the first window made.
  WindowClassShape shape;
  shape.name = kWindowClass;
  shape.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
  shape.icon_resource = data.icon_resource;
  if (!EnsureWindowClass(shape)) return nullptr;

  DWORD style = WS_OVERLAPPED | WS_CLIPCHILDREN;
  DWORD ex_style = 0;
  switch (data.border) {
    case kWindowNoBorder: style = WS_POPUP | WS_CLIPCHILDREN; break;
    case kWindowSizable: style |= WS_CAPTION | WS_THICKFRAME; break;
    default: style |= WS_CAPTION; break;
  }
  if (data.control_box) style |= WS_SYSMENU;
  if (data.min_box) style |= WS_MINIMIZEBOX;
  if (data.max_box) style |= WS_MAXIMIZEBOX;
  if (data.always_on_top) ex_style |= WS_EX_TOPMOST;
  if (info.common && (info.common->flags & kUnitDisabled)) style |= WS_DISABLED;

  auto* unit = NewUnit<WindowUnit>(info);
  unit->title = data.title ? data.title : "";
  const CommonState common = info.common ? *info.common : CommonState{};
  HWND h = CreateWindowExW(ex_style, kWindowClass, wide::Wide(unit->title.c_str()).c_str(), style, common.left, common.top, common.width,
                           common.height, nullptr, nullptr, ModuleInstance(), nullptr);
  if (!h) {
    delete unit;
    return nullptr;
  }
  unit->Bind(h, false);
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultGuiFont()), FALSE);
  return unit;
}

bool WriteWindowProperty(UnitObject* object, std::int32_t index, const RawProperty& value) {
  auto* unit = static_cast<WindowUnit*>(object);
  if (index == window_prop::kTitle) {
    unit->title = TextOfRaw(value);
    if (unit->hwnd()) SetWindowTextW(unit->hwnd(), wide::Wide(unit->title.c_str()).c_str());
  }
  return false;
}

RawProperty ReadWindowProperty(UnitObject* object, std::int32_t index) {
  auto* unit = static_cast<WindowUnit*>(object);
  if (index == window_prop::kTitle) return RawText(unit->title);
  return {};
}

WindowUnit* AsWindow(UnitObject* object) { return dynamic_cast<WindowUnit*>(object); }

}  // namespace

const UnitTypeRecord kWindowType = {"window", kUnitWindow, kWindowTypeFlags, kWindowPropertyTypes, window_prop::kCount,
                                    {CreateWindowUnit, ReadWindowProperty, WriteWindowProperty}};

}  // namespace win

void MarkDestroyPending(UnitObject* window) {
  if (win::WindowUnit* unit = win::AsWindow(window)) unit->destroy_pending = true;
}

void CarryOutDestroy(UnitObject* window) {
  win::WindowUnit* unit = win::AsWindow(window);
  if (!unit || !unit->destroy_pending) return;
  unit->destroy_pending = false;
  for (const auto& [hwnd, was_enabled] : unit->modal_disabled)
    if (IsWindow(hwnd)) EnableWindow(hwnd, was_enabled);
  unit->modal_disabled.clear();
  if (HWND h = unit->hwnd()) DestroyWindow(h);  // the object ends with its native window
}

bool IsDestroyPending(UnitObject* window) {
  win::WindowUnit* unit = win::AsWindow(window);
  return unit && unit->destroy_pending;
}

}  // namespace bv

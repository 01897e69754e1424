#include "ui/window_commands.h"

#include <windows.h>

#include "ui/unit_model.h"
#include "ui/window_unit.h"

namespace bv {

namespace {

UnitObject* Referenced(std::int32_t argc, const ValueRecord* args) {
  const ValueRecord ref = argc > 0 ? args[0] : ValueRecord{};
  return UnitObjectOrFail(ref.value, ref.high);
}

// Unit identifiers of windows have their top four bits clear; 0 also names the window.
bool NamesWindow(UnitId unit) { return unit == 0 || (unit >> 28) == 0; }

}  // namespace

void GetWindowHandle(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  UnitObject* unit = Referenced(argc, args);
  // Window handles carry 32 significant bits on every Windows.
  result->SetInt(static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(unit->native)));
}

void DestroyUnit(ValueRecord*, std::int32_t argc, const ValueRecord* args) {
  UnitObject* unit = Referenced(argc, args);
  HWND native = static_cast<HWND>(unit->native);
  if (NamesWindow(args[0].high)) {
    MarkDestroyPending(unit);
    if (ArgGiven(args, argc, 1) && args[1].AsBool()) {
      CarryOutDestroy(unit);
    } else {
      // Carried out from the message loop, after the running handler returns.
      PostMessageW(native, kMsgDestroyWindow, 0, 0);
    }
    return;
  }
  // A unit inside a window goes at once. Its record stays in the window's unit
  // table whether or not it had child windows: the unit reports itself gone,
  // later access to it is the fatal error of a missing unit, and the next load
  // of the window builds it again from the template.
  DestroyWindow(native);
}

}  // namespace bv

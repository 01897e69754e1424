// Building a program window from its template. Events stay blocked while the
// window and its units are made, so nothing the creation stirs up reaches a
// handler; the created event then runs while the window is still invisible.
#include <windows.h>

#include <vector>

#include "runtime/fatal.h"
#include "runtime/program.h"
#include "runtime/texts.h"
#include "ui/frame.h"
#include "ui/unit_platform.h"
#include "ui/window_unit.h"

namespace bv {

namespace {

using unitplatform::ProcessWaitingMessages;

HWND NativeOf(const UnitObject* unit) { return unit ? static_cast<HWND>(unit->native) : nullptr; }

const UnitTypeRecord* TypeOf(const UnitSlot& slot) {
  return slot.type ? slot.type : FindUnitType(slot.tmpl->type);
}

UnitObject* CreateUnit(WindowId window, const UnitSlot& slot, UnitObject* parent, const CommonState& common) {
  const UnitTypeRecord* type = TypeOf(slot);
  if (!type) return nullptr;
  const UnitCreateFn create = type->ops.create;
  if (!create) return nullptr;
  UnitCreateInfo info;
  info.type = type;
  info.window = window;
  info.unit = slot.tmpl->id;
  info.parent = parent;
  info.common = &common;
  info.data = slot.tmpl->data;
  info.data_size = slot.tmpl->data_size;
  UnitObject* object = create(info);
  if (object && !object->native) object = nullptr;  // a unit is its native window
  return object;
}

bool WindowStillOpen(WindowId window) {
  std::int32_t count = 0;
  UnitSlot* slots = ProgramWindowUnits(window, &count);
  return slots && count > 0 && slots[0].live != nullptr;
}

// Builds the window and its units; false when one of them cannot be made.
bool Build(WindowId window) {
  std::int32_t count = 0;
  UnitSlot* slots = ProgramWindowUnits(window, &count);
  if (!slots || count < 1 || TypeOf(slots[0]) == nullptr || TypeOf(slots[0])->code != kUnitWindow) return false;

  // The template's size, centred on the screen.
  CommonState placed = slots[0].stored;
  const int width = placed.width, height = placed.height;
  placed.left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  placed.top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  UnitObject* window_object = CreateUnit(window, slots[0], nullptr, placed);
  if (!window_object) return false;
  AttachUnitObject(window, slots[0].tmpl->id, window_object);
  HWND frame = NativeOf(window_object);
  RECT rc;
  GetWindowRect(frame, &rc);
  if (rc.right - rc.left != width || rc.bottom - rc.top != height)
    SetWindowPos(frame, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  std::vector<HWND> children;
  for (std::int32_t i = 1; i < count; ++i) {
    UnitObject* object = CreateUnit(window, slots[i], window_object, slots[i].stored);
    if (!object) {
      DestroyWindow(frame);  // its units go with it and report themselves gone
      return false;
    }
    AttachUnitObject(window, slots[i].tmpl->id, object);
    children.push_back(NativeOf(object));
  }

  // Template order is stacking order: the first unit on top.
  HWND above = HWND_TOP;
  for (HWND h : children) {
    SetWindowPos(h, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = h;
  }

  for (std::int32_t i = 1; i < count; ++i) {
    const UnitTypeRecord* type = TypeOf(slots[i]);
    if ((slots[i].stored.flags & kUnitVisible) && !(type->flags & kTypeNeverShown))
      ShowWindow(children[static_cast<std::size_t>(i - 1)], SW_SHOWNA);
  }
  return true;
}

void RaiseWindowEvent(WindowId window, UnitId unit, std::uint32_t event) {
  PlainEventRecord record;
  record.window = window;
  record.unit = unit;
  record.event = event;
  RaiseEvent(&record);
}

}  // namespace

void LoadWindow(WindowId window) {
  std::int32_t count = 0;
  UnitSlot* slots = ProgramWindowUnits(window, &count);
  if (!slots || count < 1) FatalRuntimeError(texts::kStartWindowFailed);

  if (UnitObject* open = slots[0].live) {
    if (!IsDestroyPending(open)) {
      HWND h = NativeOf(open);
      if (IsIconic(h)) {
        ShowWindow(h, SW_RESTORE);
      } else {
        SetActiveWindow(h);
        SetForegroundWindow(h);
      }
      return;
    }
    CarryOutDestroy(open);  // the pending destruction happens now; then a new one
  }

  ProcessWaitingMessages();
  BlockEvents();
  if (!Build(window)) FatalRuntimeError(texts::kStartWindowFailed);
  ProcessWaitingMessages();
  UnblockEvents();

  const UnitId self = slots[0].tmpl->id;
  RaiseWindowEvent(window, self, window_event::kCreated);
  if (!WindowStillOpen(window)) return;
  RaiseWindowEvent(window, self, window_event::kAfterCreated);
  if (WindowStillOpen(window)) RaiseWindowEvent(window, self, window_event::kBeforeShown);
  if (!WindowStillOpen(window)) return;

  if (slots[0].stored.flags & kUnitVisible) {
    HWND h = NativeOf(slots[0].live);
    ShowWindow(h, SW_SHOWNORMAL);
    SetForegroundWindow(h);
  }
}

}  // namespace bv

// What the window loader does, for tests of either tree that build a program
// window from stand-in unit types: every unit created from its slot (the
// window first, the others as its children), attached, and the visible ones
// shown, except units of a type that is never shown. The unit type's create
// and the way to show a native window are the test's own.
#pragma once

#include <vector>

#include "ui/unit_model.h"

namespace bvtest {

// The created units in template order (a failed create leaves null); a unit
// without a native window is attached but not shown.
template <class Show>
std::vector<bv::UnitObject*> LoadWindowUnits(bv::WindowId window, bv::UnitCreateFn create, Show show) {
  std::int32_t count = 0;
  bv::UnitSlot* slots = bv::ProgramWindowUnits(window, &count);
  std::vector<bv::UnitObject*> units;
  for (std::int32_t i = 0; i < count; ++i) {
    const bv::UnitSlot& slot = slots[i];
    bv::UnitCreateInfo info;
    info.type = slot.type;
    info.window = window;
    info.unit = slot.tmpl->id;
    info.parent = i ? slots[0].live : nullptr;
    info.common = &slot.stored;
    info.data = slot.tmpl->data;
    info.data_size = slot.tmpl->data_size;
    bv::UnitObject* unit = create(info);
    bv::AttachUnitObject(window, info.unit, unit);
    units.push_back(unit);
    if (unit && unit->native && (slot.stored.flags & bv::kUnitVisible) && !(slot.type->flags & bv::kTypeNeverShown))
      show(unit->native);
  }
  return units;
}

}  // namespace bvtest

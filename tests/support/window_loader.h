// What the window loader does, for tests of either tree that build a program
// window from stand-in unit types with their own create and their own way to
// show a native window.
#pragma once

#include <vector>

#include "ui/unit_model.h"

namespace bvtest {

// Creates every unit of `window` from its slot (the window first, then the
// others as its children), attaches it and shows the visible ones but those
// of a type that is never shown. The units in template order.
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
    units.push_back(create(info));
    bv::AttachUnitObject(window, info.unit, units.back());
    const bv::UnitObject* unit = units.back();
    if (unit && unit->native && (slot.stored.flags & bv::kUnitVisible) && !(slot.type->flags & bv::kTypeNeverShown))
      show(unit->native);
  }
  return units;
}

}  // namespace bvtest

// The drag-and-drop library (number 1): its command RegisterDrop and its one
// unit type, the file drop target (ui/win/drop_target.h). The program frame
// installs the library and registers the type; the logic calls RegisterDrop.
#pragma once

#include <cstdint>

#include "runtime/library.h"
#include "runtime/value.h"
#include "ui/unit_model.h"

namespace bv {

// The unit type record ("DropTarget", type code kUnitDropTarget) and its
// registration with the unit model.
const UnitTypeRecord& DropTargetType();
void RegisterDropTargetType();

// Library 1, for registration by the program frame.
const LibraryInfo& DragDropLibrary();

// RegisterDrop(unit reference, native window handle) -> logical: true when
// the window was registered now; false when this unit already has a registered
// window (even one the platform refused) or the platform refuses.
void RegisterDrop(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

}  // namespace bv

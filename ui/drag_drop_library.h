// The drag-and-drop library (number 1): its command RegisterDrop and its one
// unit type, the file drop target (ui/win/drop_target.h). The program frame
// installs the library and registers the type; the logic calls RegisterDrop.
#pragma once

#include <cstdint>

#include "runtime/library.h"
#include "runtime/value.h"
#include "ui/drop_rules.h"
#include "ui/unit_model.h"

namespace bv {

// The type's flags word: its units are never shown, and they raise events.
inline constexpr std::uint32_t kDropTargetTypeFlags = 0x80008040;
static_assert((kDropTargetTypeFlags & kTypeNeverShown) && (kDropTargetTypeFlags & kTypeEventBits));
// Its properties are the four accept flags, in DropKind order.
inline constexpr std::int32_t kDropTargetPropertyTypes[kDropKindCount] = {kPropTypeLogical, kPropTypeLogical,
                                                                          kPropTypeLogical, kPropTypeLogical};

// Registers the unit type ("DropTarget", type code kUnitDropTarget) with the
// unit model.
void RegisterDropTargetType();

// Library 1, for registration by the program frame.
const LibraryInfo& DragDropLibrary();

// RegisterDrop(unit reference, native window handle) -> logical: true when
// the window was registered now; false when this unit already has a registered
// window (even one the platform refused) or the platform refuses.
void RegisterDrop(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

}  // namespace bv

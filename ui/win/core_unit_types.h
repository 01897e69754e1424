// The core library's unit types this program uses: window, EditBox, Label and
// Button, each a record of data with its operations.
#pragma once

#include "ui/unit_model.h"

namespace bv {

namespace win {
extern const UnitTypeRecord kWindowType;
extern const UnitTypeRecord kEditBoxType;
extern const UnitTypeRecord kLabelType;
extern const UnitTypeRecord kButtonType;
}  // namespace win

// Registers the four types with the unit model.
void RegisterCoreUnitTypes();

}  // namespace bv

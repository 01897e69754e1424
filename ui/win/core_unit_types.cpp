#include "ui/win/core_unit_types.h"

namespace bv {

void RegisterCoreUnitTypes() {
  RegisterUnitType(&win::kWindowType);
  RegisterUnitType(&win::kEditBoxType);
  RegisterUnitType(&win::kLabelType);
  RegisterUnitType(&win::kButtonType);
}

}  // namespace bv

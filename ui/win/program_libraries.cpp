#include "ui/win/program_libraries.h"

#include "ui/win/core_unit_types.h"

namespace bv {

// The libraries the program carries, by number: core 0 (CoreLibrary), drag and
// drop 1 (DragDropLibrary), internet 2 (InternetLibrary), operating-system
// interface 3 (OsLibrary) and application interface 4 (AppLibrary). Each joins
// this table together with the commands it is built from.
void InstallProgramLibraries() {}

void RegisterProgramUnitTypes() {
  RegisterCoreUnitTypes();
  // The drop target's type joins here with its library.
}

}  // namespace bv

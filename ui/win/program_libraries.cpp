#include "ui/win/program_libraries.h"

#include "runtime/internet.h"
#include "runtime/shell.h"
#include "ui/drag_drop_library.h"
#include "ui/win/core_library.h"
#include "ui/win/core_unit_types.h"

namespace bv {

// The numbers are fixed: a command call names its library by number.
void InstallProgramLibraries() {
  SetLibrary(0, &CoreLibrary());
  SetLibrary(1, &DragDropLibrary());
  SetLibrary(2, &InternetLibrary());
  SetLibrary(3, &OsLibrary());
  SetLibrary(4, &AppLibrary());
}

void RegisterProgramUnitTypes() {
  RegisterCoreUnitTypes();
  RegisterDropTargetType();
}

}  // namespace bv

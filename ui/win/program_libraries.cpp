#include "ui/win/program_libraries.h"

#include "runtime/win/internet.h"
#include "runtime/win/shell.h"
#include "ui/win/core_library.h"
#include "ui/win/core_unit_types.h"
#include "ui/win/drop_target.h"

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

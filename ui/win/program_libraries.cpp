#include "ui/win/program_libraries.h"

#include "ui/win/core_unit_types.h"

// Each library comes with its own part of the program; a tree that lacks one
// runs without it (its commands and unit types are then simply absent).
#if __has_include("ui/win/core_library.h")
#include "ui/win/core_library.h"
#define BV_HAVE_CORE_LIBRARY 1
#endif
#if __has_include("ui/win/drag_drop_library.h")
#include "ui/win/drag_drop_library.h"
#define BV_HAVE_DRAG_DROP_LIBRARY 1
#endif
#if __has_include("runtime/win/internet.h")
#include "runtime/win/internet.h"
#define BV_HAVE_INTERNET_LIBRARY 1
#endif
#if __has_include("runtime/win/shell.h")
#include "runtime/win/shell.h"
#define BV_HAVE_SHELL_LIBRARIES 1
#endif

namespace bv {

void InstallProgramLibraries() {
#ifdef BV_HAVE_CORE_LIBRARY
  SetLibrary(kCoreLibrary, CoreLibrary());
#endif
#ifdef BV_HAVE_DRAG_DROP_LIBRARY
  SetLibrary(kDragDropLibrary, DragDropLibrary());
#endif
#ifdef BV_HAVE_INTERNET_LIBRARY
  SetLibrary(kInternetLibrary, InternetLibrary());
#endif
#ifdef BV_HAVE_SHELL_LIBRARIES
  SetLibrary(kOsLibrary, OsLibrary());
  SetLibrary(kAppLibrary, AppLibrary());
#endif
}

void RegisterProgramUnitTypes() {
  RegisterCoreUnitTypes();
  // The drop target's type is registered here once its library is part of the tree.
}

}  // namespace bv

// The program's libraries by number, and the unit types they bring.
#pragma once

#include "runtime/library.h"

namespace bv {

// Hands every library of the program to SetLibrary under its number.
void InstallProgramLibraries();
// Registers every unit type of the program with the unit model.
void RegisterProgramUnitTypes();

}  // namespace bv

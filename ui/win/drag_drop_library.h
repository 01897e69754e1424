// The drag-and-drop library (number 1): its command RegisterDrop and its one
// unit type, the file drop target. The program frame installs the library and
// registers the type.
#pragma once

#include "ui/win/drop_target.h"

// Library 0: the core commands the logic calls by name.
#pragma once

#include "runtime/library.h"

namespace bv {

const LibraryInfo& CoreLibrary();

}  // namespace bv

// Library 0: the core library, whose commands the logic calls directly.
#pragma once

#include "runtime/library.h"

namespace bv {

const LibraryInfo& CoreLibrary();

}  // namespace bv

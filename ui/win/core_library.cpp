#include "ui/win/core_library.h"

namespace bv {

namespace {

// The runtime tells the core library nothing of the program's start or end.
const LibraryInfo kCore{nullptr};

}  // namespace

const LibraryInfo& CoreLibrary() { return kCore; }

}  // namespace bv

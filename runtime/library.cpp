#include "runtime/library.h"

namespace bv {

namespace {
const LibraryInfo* g_libraries[kLibraryCount] = {};
}

const LibraryInfo* GetLibrary(int number) {
  return number >= 0 && number < kLibraryCount ? g_libraries[number] : nullptr;
}

void SetLibrary(int number, const LibraryInfo* info) {
  if (number >= 0 && number < kLibraryCount) g_libraries[number] = info;
}

void NotifyLibraries(std::int32_t code, std::intptr_t arg) {
  for (const LibraryInfo* lib : g_libraries)
    if (lib && lib->notify) lib->notify(code, arg);
}

}  // namespace bv

#include "runtime/library.h"

#include <cstring>

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

Command FindCommand(int library, const char* name) {
  const LibraryInfo* lib = GetLibrary(library);
  if (!lib) return nullptr;
  for (std::int32_t i = 0; i < lib->command_count; ++i)
    if (std::strcmp(lib->commands[i].name, name) == 0) return lib->commands[i].fn;
  return nullptr;
}

}  // namespace bv

// Libraries: the core library (0) and the four further ones (value.h numbers
// them). The logic calls their commands directly; what the runtime keeps of a
// library is how it tells the library of the program's start and end. Every
// library has its record under its number, whether or not it listens.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace bv {

// Notifications a library receives. 1: the program starts (argument: the
// runtime service entry); 6: the program ends.
inline constexpr std::int32_t kNotifyStart = 1;
inline constexpr std::int32_t kNotifyEnd = 6;

using LibraryNotify = std::intptr_t (*)(std::int32_t code, std::intptr_t arg);

struct LibraryInfo {
  LibraryNotify notify;  // null for a library that needs neither notification
};

// The program's libraries, indexed by library number (null where the tree has
// none, as the native tree has no Windows libraries).
const LibraryInfo* GetLibrary(int number);
void SetLibrary(int number, const LibraryInfo* info);

// Sends `code` to every library that has a notification function.
void NotifyLibraries(std::int32_t code, std::intptr_t arg);

}  // namespace bv

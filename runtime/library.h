// Libraries: the core library (0) and the four further ones whose commands the
// logic calls by library number. Each library is a record of data: its number,
// name, command table and notification function.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace bv {

// Notifications a library receives. 1: the program starts (argument: the
// runtime service entry); 6: the program ends.
inline constexpr std::int32_t kNotifyStart = 1;
inline constexpr std::int32_t kNotifyEnd = 6;

using LibraryNotify = std::intptr_t (*)(std::int32_t code, std::intptr_t arg);

struct CommandInfo {
  const char* name;
  Command fn;
};

struct LibraryInfo {
  int number;
  const char* name;
  const CommandInfo* commands;
  std::int32_t command_count;
  LibraryNotify notify;  // may be null
};

// The program's libraries, indexed by library number (null where the tree has
// none, as the native tree has no Windows libraries).
const LibraryInfo* GetLibrary(int number);
void SetLibrary(int number, const LibraryInfo* info);

// Sends `code` to every library that has a notification function.
void NotifyLibraries(std::int32_t code, std::intptr_t arg);

// Looks a command up by name in a library; null when absent.
Command FindCommand(int library, const char* name);

}  // namespace bv

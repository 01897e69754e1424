// Shell services: well-known folders, shell links and opening an address in
// the user's browser. Commands of the OS-interface library (3) and of the
// application-interface library (4), with the command shape of
// runtime/value.h. All of them run on the UI thread; CreateShortcut needs COM
// initialised there first (program start does that).
#pragma once

#include <cstdint>

#include "runtime/library.h"
#include "runtime/value.h"

namespace bv {

// Folder numbers understood by GetSpecialFolder.
enum SpecialFolder : std::int32_t {
  kFolderDocuments = 1,
  kFolderFavorites = 2,
  kFolderDesktop = 3,
  kFolderFonts = 4,
  kFolderStartMenu = 5,
  kFolderPrograms = 6,
  kFolderStartup = 7,
  kFolderAppData = 8,
  kFolderWindows = 9,
  kFolderSystem = 10,
  kFolderTemp = 11,
};

// GetSpecialFolder(integer number) -> Text: the folder's path ending in "\",
// or null for an unknown number, a folder that does not exist (it is never
// created) or a path that would not fit the platform's path limit with its
// separator.
void GetSpecialFolder(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

// CreateShortcut(link path, target, [description], [arguments], [working
// directory]) -> logical: true when the link file was written (an existing one
// is replaced). A link path with no dot anywhere gets ".lnk" appended.
// Arguments and working directory are stored only by a call with all five
// arguments.
void CreateShortcut(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

// OpenUrl([address]): hands the address to the shell's "open" verb; without an
// argument, kDefaultUrl. Nothing is reported.
void OpenUrl(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

// The address OpenUrl opens when called without one: a blank browser page,
// which needs no network.
inline constexpr const char kDefaultUrl[] = "about:blank";

// Library records for registration by the program frame.
const LibraryInfo& OsLibrary();   // number 3
const LibraryInfo& AppLibrary();  // number 4

}  // namespace bv

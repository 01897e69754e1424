// Commands of the core library that touch the operating system: the current
// folder, file existence, whole-file reading and writing, starting a program
// and the modal message box. Command shape and ownership of runtime/value.h;
// failures come back as the result (null, false, 0), never as a message.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace bv {

// GetCurrentDir() -> Text: the current directory, null when unreadable or
// longer than 259 bytes. No trailing separator except for a drive root.
void GetCurrentDir(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// FileExists(path) -> logical: whether a file search for the path finds
// anything (directories and wildcard matches count).
void FileExists(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// LoadFile(path) -> ByteSet: the whole file; null when empty, unreadable,
// held open for writing elsewhere, or 2 GiB or more.
void LoadFile(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// SaveFile(path, byte sets...) -> logical: creates or replaces the file with
// the pieces in order; false on any failure (short writes included).
void SaveFile(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// Run(command line, [wait], [show mode, default kShowNormal]) -> logical:
// started. A mode outside 1..6 is taken as the nearer end.
void Run(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// How Run shows the started program's window.
enum RunShowMode : std::int32_t {
  kShowHidden = 1,
  kShowNormal = 2,              // activated
  kShowMinimized = 3,           // activated
  kShowMaximized = 4,           // activated
  kShowNoActivate = 5,          // normal, not activated
  kShowMinimizedInactive = 6,   // minimised, not activated
};
// InfoBox(message, style, [title]) -> integer: the button chosen (OK 0,
// Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6; 0 otherwise). The style
// is the platform's message box style word.
void InfoBox(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// The style of a box with one OK button and no icon.
inline constexpr std::int32_t kInfoBoxOk = 0;

}  // namespace bv

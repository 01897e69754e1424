// Recording stand-ins for what the tool's handlers call outside the portable
// code: the file, process, box, HTTP, shell, window and drop commands and the
// frame's start services. Each call appends one line to the journal, in the
// order of the calls, and answers what the test has set. Linked into the
// handler test alone, in place of the Windows implementations.
//
// Like the commands they stand in for, the stand-ins write only a result's
// value word (and high word for pointers): callers must not rely on its type.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bvtest::recording {

struct Answers {
  std::map<std::string, std::string> pages;  // HttpGetPage by address; missing: no bytes arrived
  std::optional<std::string> current_dir;    // GetCurrentDir; none: unreadable
  bool client_present = true;                // FileExists
  std::map<std::string, std::string> files;  // LoadFile by path; missing: unreadable
  bool save_succeeds = true;                 // SaveFile
  std::optional<std::string> desktop;        // GetSpecialFolder
  std::int32_t window_handle = 0x1234;       // GetWindowHandle
  std::function<void()> on_load_window;      // runs inside LoadWindow, after its line
};

// What the next calls answer; Reset() puts back the defaults above.
Answers& Answer();
// One line per call, e.g. `SaveFile("C:\\g/ob.bat", bytes"cd x")`.
std::vector<std::string>& Journal();
void Note(const std::string& line);
void Reset();

// A text as the journal shows it: in double quotes, with C escapes for quotes,
// backslashes and control bytes; other bytes (GBK included) as they are.
std::string Quoted(const std::string& bytes);

}  // namespace bvtest::recording

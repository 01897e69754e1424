// Support for the Windows-side tests: child scenarios run in a process of
// their own, and a user stand-in that answers modal message boxes from outside
// the process that shows them.
//
// Tests speak the product's language, GBK byte texts, but everything here
// meets the platform through its wide functions and converts through code
// page 936 itself. So a test sees the same bytes whatever the system's ANSI
// code page is, and only the product's own crossings are put to the test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/hex.h"

namespace bvtest {

// ---- Child scenarios ------------------------------------------------------------
// A scenario is a function the test program runs instead of its tests when it
// is started with --child=NAME. Scenarios that end the program (fatal errors,
// the program end) must run in a child so that the test can see the exit code.
using ChildFn = int (*)();
struct ChildRegistrar {
  ChildRegistrar(const char* name, ChildFn fn);
};
#define BVTEST_CHILD(name)                                                     \
  static int bvtest_child_##name();                                            \
  static ::bvtest::ChildRegistrar bvtest_child_reg_##name(#name, bvtest_child_##name); \
  static int bvtest_child_##name()

// What a test does while its child runs (answers its boxes, say), given the
// child's process id.
using WhileRunning = std::function<void(DWORD pid)>;
// Runs a program by its command line to its end, `meanwhile` acting on it
// first, and answers its exit code: -2 after the timeout (the program is then
// ended), -3 when it never started (the command, the error code and its text
// are printed, so that a chance failure names itself).
long RunProgram(std::wstring command, const WhileRunning& meanwhile = nullptr, DWORD timeout_ms = 30000);
// The same for this test program started with --child=NAME (plus `extra`, a
// GBK command-line tail).
long RunChild(const char* name, const std::string& extra = "", const WhileRunning& meanwhile = nullptr,
              DWORD timeout_ms = 30000);
// The arguments after --child=NAME, in GBK.
const std::vector<std::string>& ChildArgs();

// ---- Message boxes as a user sees them -------------------------------------------
struct SeenBox {
  bool found = false;
  HWND hwnd = nullptr;
  std::wstring wide_caption;    // as the platform holds them
  std::wstring wide_text;
  std::string caption;          // the same in GBK ("?" for a character without a GBK form)
  std::string text;
  std::vector<int> buttons;     // control IDs: IDOK, IDCANCEL, IDYES, IDNO, ...
  bool has_icon = false;
  HWND owner = nullptr;
};
// Waits up to `timeout_ms` for a message box with `caption` (GBK; null: any
// caption) shown by process `pid` (0: any process), reads it and presses the
// button with control ID `press` (0: leave it open).
SeenBox AnswerBox(const char* caption, DWORD pid, int press, DWORD timeout_ms = 30000);
SeenBox AnswerBox(const wchar_t* caption, DWORD pid, int press, DWORD timeout_ms = 30000);
// Runs child NAME (see RunChild) to its end, pressing `press` in the box
// captioned `caption` that it shows; *box is what was seen of that box.
long RunChildAnswering(const char* name, const std::string& extra, const char* caption, int press, SeenBox* box);
// Counts the message boxes that process `pid` shows right now.
int CountBoxes(DWORD pid);

// ---- Files --------------------------------------------------------------------
// Paths here are GBK, like the product's. A fresh, empty folder for one test;
// removed with its contents by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};
std::string ReadWholeFile(const std::string& path, bool* ok = nullptr);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Appends to a log several processes may write at once: retries for up to
// five seconds while another one holds it.
bool AppendToFile(const std::wstring& path, const std::string& bytes);
// The folder of this program's executable, with its trailing backslash.
std::wstring OwnFolder();

// ---- Stand-ins for the platform ------------------------------------------------
// Points every entry of this program's import table that holds `from` at `to`,
// so that the runtime's calls reach a stand-in; answers how many changed.
int RedirectImportEntries(const void* from, const void* to);
template <class Fn>
int RedirectImport(Fn from, Fn to) {
  return RedirectImportEntries(reinterpret_cast<const void*>(from), reinterpret_cast<const void*>(to));
}
// A function a loaded module exports, as its import entries hold it.
template <class Fn>
Fn Exported(const char* module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
}

// ---- Texts -----------------------------------------------------------------------
// Through code page 936, never the ANSI code page. A character without a GBK
// form becomes "?", as on a Chinese system.
std::wstring WideFromGbk(const std::string& gbk);
std::string GbkFromWide(const std::wstring& wide);
std::string Utf8FromWide(const std::wstring& wide);

// For the report files of the helper programs, one field per word: the bytes
// as hex without spaces, and text as UTF-8 with CR, LF and tab shown as \r,
// \n and \t.
std::string HexPacked(const std::string& bytes);
std::string Utf8Shown(const std::wstring& wide);

// A helper program's arguments as the platform holds them, whatever the ANSI
// code page: [0] is the program.
std::vector<std::wstring> WideArgs();

// What every test program's main does: a child scenario when started with
// --child=NAME, the tests otherwise.
int RunTestProgram(int argc, char** argv);

}  // namespace bvtest

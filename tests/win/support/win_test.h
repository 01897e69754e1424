// Support for the Windows-side tests: child scenarios run in a process of
// their own, and a user stand-in that answers modal message boxes from outside
// the process that shows them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

struct Child {
  HANDLE process = nullptr;
  DWORD pid = 0;
};
// Starts this test program with --child=NAME (plus `extra` arguments, GBK).
Child StartChild(const char* name, const std::string& extra = "");
// Waits for the child's end; returns its exit code, or -2 after the timeout
// (the child is then terminated).
long WaitChild(Child& child, DWORD timeout_ms = 30000);
// The arguments after --child=NAME as the scenario sees them, in GBK.
const std::vector<std::string>& ChildArgs();

// ---- Texts -----------------------------------------------------------------------
// Tests keep GBK texts like the program and read and write the platform's
// texts in wide characters, converted through code page 936 here, on their
// own: whatever the system code page, and without the program's conversions.
std::wstring WideFromGbk(const std::string& gbk);
std::string GbkFromWide(const std::wstring& wide);

// ---- Message boxes as a user sees them -------------------------------------------
struct SeenBox {
  bool found = false;
  HWND hwnd = nullptr;
  std::string caption;          // GBK, as shown
  std::string text;             // GBK, as shown
  std::vector<int> buttons;     // control IDs: IDOK, IDCANCEL, IDYES, IDNO, ...
  bool has_icon = false;
  HWND owner = nullptr;
};
// Waits up to `timeout_ms` for a message box with `caption` (GBK; null: any
// caption) shown by process `pid` (0: any process), reads it and presses the
// button with control ID `press` (0: leave it open).
SeenBox AnswerBox(const char* caption, DWORD pid, int press, DWORD timeout_ms = 15000);
// Counts the message boxes that process `pid` shows right now.
int CountBoxes(DWORD pid);

// ---- Files --------------------------------------------------------------------
// A fresh, empty folder for one test; removed with its contents by the destructor.
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
// Paths in GBK.
std::string ReadWholeFile(const std::string& path, bool* ok = nullptr);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Hex dump for assertion messages about byte texts.
std::string Hex(const std::string& bytes);

// For the report files of the helper programs, one field per word: the bytes
// as hex without spaces, and GBK text as UTF-8 with CR, LF and tab shown as
// \r, \n and \t.
std::string HexPacked(const std::string& bytes);
std::string GbkToUtf8Shown(const std::string& gbk);

// What every test program's main does: a child scenario when started with
// --child=NAME, the tests otherwise.
int RunTestProgram(int argc, char** argv);

}  // namespace bvtest

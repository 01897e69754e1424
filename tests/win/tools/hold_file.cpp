// Holds a file open the way another program (an editor, a virus scanner)
// might: readers may share it, writers may not. For end-to-end tests of what
// a program does when it cannot replace a file.
//   hold_file.exe PATH SECONDS READY_FILE RELEASE_FILE
// Paths are taken in wide characters: any name works, whatever the locale.
// Writes READY_FILE once the file is held, then holds it until RELEASE_FILE
// appears, or for SECONDS at most. A test that needs the file free again asks for
// the release and waits for the exit: killing the holder would leave the
// file held until the Wine server has noticed, and a write made just then
// would fail.
// Exit code 0 after holding, 1 when the file could not be opened, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/support/win_test.h"

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  if (args.size() != 5) {
    std::fprintf(stderr, "usage: hold_file.exe PATH SECONDS READY_FILE RELEASE_FILE\n");
    return 2;
  }
  HANDLE f = CreateFileW(args[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  bvtest::WriteWholeFile(args[3], "held\r\n");
  const ULONGLONG until = GetTickCount64() + std::wcstoul(args[2].c_str(), nullptr, 10) * 1000ULL;
  while (GetTickCount64() < until) {
    if (GetFileAttributesW(args[4].c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  CloseHandle(f);
  return 0;
}

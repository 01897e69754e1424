// Holds a file open the way another program (an editor, a virus scanner)
// might: readers may share it, writers may not. For end-to-end tests of what
// a program does when it cannot replace a file.
//   hold_file.exe PATH SECONDS READY_FILE
// Writes READY_FILE once the file is held, then holds it for SECONDS.
// Exit code 0 after holding, 1 when the file could not be opened, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "tests/win/support/win_test.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hold_file.exe PATH SECONDS READY_FILE\n");
    return 2;
  }
  HANDLE f = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  bvtest::WriteWholeFile(argv[3], "held\r\n");
  Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) * 1000);
  CloseHandle(f);
  return 0;
}

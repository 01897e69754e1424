// Leaks on purpose, on cue, so that a test can show its figures move.
//   leaker.exe HANDLES MIB DIR
// Writes DIR\ready, waits (up to two minutes) for DIR\go, then opens HANDLES
// event handles and takes MIB MiB from the process heap, touching every page,
// and keeps them all; writes DIR\leaked and waits (as long again) for DIR\end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/win/support/win_test.h"

namespace {

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 1200; ++i) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: leaker.exe HANDLES MIB DIR\n");
    return 2;
  }
  const unsigned long handles = std::strtoul(argv[1], nullptr, 10);
  const unsigned long mib = std::strtoul(argv[2], nullptr, 10);
  const std::string dir = argv[3];
  bvtest::WriteWholeFile(dir + "\\ready", "ready\r\n");
  if (!WaitForFile(dir + "\\go")) return 1;
  for (unsigned long i = 0; i < handles; ++i)
    if (!CreateEventA(nullptr, TRUE, FALSE, nullptr)) return 3;
  for (unsigned long i = 0; i < mib; ++i) {
    void* block = HeapAlloc(GetProcessHeap(), 0, 1 << 20);
    if (!block) return 3;
    std::memset(block, static_cast<int>(i) | 1, 1 << 20);
  }
  bvtest::WriteWholeFile(dir + "\\leaked", "leaked\r\n");
  return WaitForFile(dir + "\\end") ? 0 : 1;
}

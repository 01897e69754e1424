// Stands in for the game client in end-to-end tests (copied as
// "League of Legends.exe"): appends how it was started to standin_client.log
// beside its own executable and ends with exit code 0.
//   cmdline=<the whole command line, as the process got it>
//   cwd=<its current directory>
// Both are read in wide characters and written in UTF-8, so they are exact
// whatever the locale. Each start adds one such pair; the file is opened for
// appending, so several starts leave several pairs in order.
#include <windows.h>

#include <string>

#include "tests/win/support/win_test.h"

int main() {
  wchar_t cwd[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  const std::string record = "cmdline=" + bvtest::Utf8FromWide(GetCommandLineW()) + "\r\ncwd=" +
                             bvtest::Utf8FromWide(cwd) + "\r\n";
  bvtest::AppendToFile(bvtest::OwnFolder() + L"standin_client.log", record);
  return 0;
}

// Registered as the http and https protocol handler in a test prefix, stands
// in for the browser: appends its command line (read in wide characters,
// written in UTF-8), one line per start, to the file named by its first
// argument when that is "--log=FILE", else to url_recorder.log beside its own
// executable. Exit code 0.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/support/win_test.h"

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  std::wstring log = bvtest::OwnFolder() + L"url_recorder.log";
  if (args.size() > 1 && args[1].rfind(L"--log=", 0) == 0) log = args[1].substr(6);
  bvtest::AppendToFile(log, bvtest::Utf8FromWide(GetCommandLineW()) + "\r\n");
  return 0;
}

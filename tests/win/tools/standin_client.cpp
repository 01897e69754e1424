// Stands in for the game client in end-to-end tests (copied as
// "League of Legends.exe"): appends how it was started to standin_client.log
// beside its own executable and ends with exit code 0.
//   cmdline=<the whole command line, as the process got it>
//   cwd=<its current directory>
// Each start adds one such pair; the file is opened for appending, so several
// starts leave several pairs in order.
#include <windows.h>

#include <string>

int main() {
  char exe[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string log(exe, n);
  std::string::size_type slash = log.find_last_of("\\/");
  log = (slash == std::string::npos ? std::string() : log.substr(0, slash + 1)) + "standin_client.log";

  char cwd[MAX_PATH * 2] = {};
  GetCurrentDirectoryA(sizeof cwd, cwd);
  std::string record = std::string("cmdline=") + GetCommandLineA() + "\r\ncwd=" + cwd + "\r\n";

  // Another start may append at the same moment: retry while it holds the file.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE f = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(f, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
      CloseHandle(f);
      return 0;
    }
    Sleep(100);
  }
  return 0;
}

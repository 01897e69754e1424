// Registered as the http and https protocol handler in a test prefix, stands
// in for the browser: appends its command line, one line per start, to the
// file named by its first argument when that is "--log=FILE", else to
// url_recorder.log beside its own executable. Exit code 0.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string log;
  if (argc > 1 && std::strncmp(argv[1], "--log=", 6) == 0) {
    log = argv[1] + 6;
  } else {
    char exe[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    log.assign(exe, n);
    log = log.substr(0, log.find_last_of("\\/") + 1) + "url_recorder.log";
  }
  std::string line = std::string(GetCommandLineA()) + "\r\n";
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE f = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(f);
      return 0;
    }
    Sleep(100);
  }
  return 0;
}

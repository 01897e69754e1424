// Fetches one address through WinINet, as the program's page download does
// (HTTP/1.0, no cache), so that the end-to-end harness can prove what a
// Windows program reaches from inside its sandbox.
//   http_fetch.exe URL OUTFILE
// Both arguments are taken in wide characters, whatever the locale. Writes the
// body to OUTFILE and "status=N bytes=M" to stdout; exit code 0 when a
// response came, 1 with "error=N" (GetLastError) when none did.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/win/support/win_test.h"

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: http_fetch.exe URL OUTFILE\n");
    return 2;
  }
  HINTERNET net = InternetOpenW(L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", INTERNET_OPEN_TYPE_PRECONFIG,
                                nullptr, nullptr, 0);
  if (!net) {
    std::printf("error=%lu\n", GetLastError());
    return 1;
  }
  // Bounded: a sandbox without a route must fail fast, never hang the test.
  DWORD timeout = 10000;
  InternetSetOptionW(net, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
  InternetSetOptionW(net, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  HINTERNET req = InternetOpenUrlW(net, args[1].c_str(), L"Accept: */*\r\n", static_cast<DWORD>(-1),
                                   INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE,
                                   0);
  if (!req) {
    std::printf("error=%lu\n", GetLastError());
    InternetCloseHandle(net);
    return 1;
  }
  DWORD status = 0, size = sizeof status;
  HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  std::string body;
  char buf[4096];
  DWORD got = 0;
  while (InternetReadFile(req, buf, sizeof buf, &got) && got > 0) body.append(buf, got);
  InternetCloseHandle(req);
  InternetCloseHandle(net);
  bvtest::WriteWholeFile(args[2], body);
  std::printf("status=%lu bytes=%zu\n", status, body.size());
  return 0;
}

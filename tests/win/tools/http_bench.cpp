// Times HttpGetPage against a bare WinINet read loop with the same read sizes
// on the same address, in one process. Run by scripts/bench-http.sh, which
// also starts the server and times curl on the same address.
//
//   http_bench.exe ADDRESS [ROUNDS]
// Prints one line per way: "<name> ms=<median> min=<minimum> bytes=<n>".
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/internet.h"
#include "runtime/value.h"

namespace {

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

std::size_t ViaCommand(const char* address) {
  bv::ValueRecord r = bv::Call(bv::HttpGetPage, {bv::ValueRecord::TextOf(address)});
  std::size_t n = static_cast<std::size_t>(bv::ByteSetLength(r.AsByteSet()));
  bv::Release(r.AsByteSet());
  return n;
}

// The same calls with the same flags and read sizes, without the command's
// canonicalisation, cracking into fixed buffers, page buffer and byte set.
std::size_t BareLoop(HINTERNET session, const char* host, INTERNET_PORT port, const char* path) {
  HINTERNET connection = InternetConnectA(session, host, port, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection) return 0;
  const char* accept[] = {"*/*", nullptr};
  HINTERNET request = HttpOpenRequestA(connection, "GET", path, "HTTP/1.0", nullptr, accept,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  std::vector<char> page;
  if (request && HttpSendRequestA(request, "Accept: */*\r\n\r\n", 15, nullptr, 0)) {
    char text[32];
    DWORD size = sizeof text;
    long long announced = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) ? std::atoll(text) : 0;
    DWORD read_size = announced <= 0 ? 10240 : static_cast<DWORD>(std::min(announced + 1, 102400LL));
    std::vector<char> chunk(read_size);
    DWORD got = 0;
    while (InternetReadFile(request, chunk.data(), read_size, &got) && got > 0)
      page.insert(page.end(), chunk.data(), chunk.data() + got);
  }
  if (request) InternetCloseHandle(request);
  InternetCloseHandle(connection);
  return page.size();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: http_bench ADDRESS [ROUNDS]\n");
    return 2;
  }
  const char* address = argv[1];
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

  char host[257] = {}, path[2049] = {};
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!InternetCrackUrlA(address, 0, 0, &parts)) return 3;
  HINTERNET session = InternetOpenA("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", INTERNET_OPEN_TYPE_DIRECT,
                                    nullptr, nullptr, 0);
  if (!session) return 4;

  // One untimed fetch each, so that opening the client handles is not timed.
  std::size_t command_bytes = ViaCommand(address);
  std::size_t bare_bytes = BareLoop(session, host, parts.nPort, path);
  std::vector<double> command_ms, bare_ms;
  // The two take turns at going first: whichever follows the other's fetch
  // meets the server and the machine still busy with its end.
  for (int i = 0; i < rounds; ++i) {
    for (int k = 0; k < 2; ++k) {
      const double t = Now();
      if ((i + k) % 2 == 0) {
        command_bytes = ViaCommand(address);
        command_ms.push_back(Now() - t);
      } else {
        bare_bytes = BareLoop(session, host, parts.nPort, path);
        bare_ms.push_back(Now() - t);
      }
    }
  }
  InternetCloseHandle(session);
  std::printf("HttpGetPage ms=%.1f min=%.1f bytes=%zu\n", Median(command_ms),
              *std::min_element(command_ms.begin(), command_ms.end()), command_bytes);
  std::printf("bare-loop ms=%.1f min=%.1f bytes=%zu\n", Median(bare_ms), *std::min_element(bare_ms.begin(), bare_ms.end()),
              bare_bytes);
  return command_bytes == bare_bytes && command_bytes > 0 ? 0 : 1;
}

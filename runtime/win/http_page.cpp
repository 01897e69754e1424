// HttpGetPage: one blocking HTTP GET whose response body comes back as a byte
// set. Whatever fails, the caller gets the bytes that arrived before it, often
// none; nothing is shown, stored or retried.
#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "runtime/internet.h"
#include "runtime/page_buffer.h"
#include "runtime/value.h"
#include "runtime/win/internet_client.h"

namespace bv {

namespace {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const char kExtraHeaders[] = "Accept: */*\r\n\r\n";
constexpr DWORD kExtraHeadersLength = 15;
static_assert(sizeof kExtraHeaders - 1 == kExtraHeadersLength);

constexpr DWORD kFlagsHttp = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kFlagsHttps = kFlagsHttp | INTERNET_FLAG_SECURE;
static_assert(kFlagsHttp == 0x84000000 && kFlagsHttps == 0x84800000);

constexpr DWORD kCanonicalChars = 2084;
constexpr DWORD kLargestHost = 256;
constexpr DWORD kLargestPath = 2048;  // query and fragment included
constexpr DWORD kLargestUserOrPassword = 128;
// A canonical form the platform asks more room for than this is refused: the
// buffer, one more byte and the block's own head must stay a 32-bit count.
constexpr DWORD kLargestCanonicalRoom = 0x7FFFFFF0u;
// An address longer than this (256 MiB) is not probed for its GBK bytes.
constexpr std::size_t kLargestProbedAddress = 0x10000000u;

// Closes a WinINet handle when the fetch leaves, by whatever way.
class HandleGuard {
 public:
  explicit HandleGuard(HINTERNET h) : h_(h) {}
  ~HandleGuard() {
    if (h_) InternetCloseHandle(h_);
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  HINTERNET get() const { return h_; }

 private:
  HINTERNET h_;
};

class BlockGuard {
 public:
  explicit BlockGuard(void* p) : p_(p) {}
  ~BlockGuard() { Release(p_); }
  BlockGuard(const BlockGuard&) = delete;
  BlockGuard& operator=(const BlockGuard&) = delete;

 private:
  void* p_;
};

// The read size follows the announced length (also given back).
std::int32_t ReadSizeOf(HINTERNET request, long long* announced_out) {
  char text[32];
  DWORD size = sizeof text;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return kUnannouncedReadSize;
  *announced_out = ReadAnnouncedLength(text, size < sizeof text ? size : sizeof text);
  return ChooseReadSize(*announced_out);
}

// The address's GBK characters in order, each whole: a lead byte (0x81 to
// 0xFE) with the byte after it, and the lone bytes 0x80 and 0xFF. Returns the
// bytes written to `out`, which has room for the whole address.
std::size_t GbkCharacters(const char* address, char* out) {
  std::size_t n = 0;
  for (const char* p = address; *p; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x80) continue;
    out[n++] = *p;
    if (byte >= 0x81 && byte <= 0xFE && p[1]) out[n++] = *++p;
  }
  return n;
}

// Whether WinINet would carry the address's GBK characters byte for byte.
// Its ANSI functions take every text through the system code page and back,
// which changes bytes off code page 936: a pair code page 949 cannot spell
// comes back as "?", and under 65001 GBK comes back as the bytes of U+FFFD.
// Wine also counts the canonical form in UTF-16 units and converts it back
// into that many bytes (plus one), so there the form of a GBK address is cut
// short, with no NUL, and reports a length that is not its byte count.
//
// So the characters are canonicalised on their own, after a prefix that
// canonicalising keeps as it is, and must come back as the same bytes with
// their own length reported. Comparing lengths alone is not enough: under
// 65001 the changed form is longer than the bytes it replaces.
bool CanonicalFormKeepsBytes(const char* address) {
  static const char kPrefix[] = "http://h/";
  constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
  const std::size_t length = std::strlen(address);
  if (length > kLargestProbedAddress) return false;
  // The probe, then room for its canonical form and a byte more, so that a
  // longer answer shows as one; the block's zeros end both.
  const std::size_t room = kPrefixLength + length + 2;
  char* block = static_cast<char*>(TryAllocate(static_cast<std::int32_t>(2 * room)));
  if (!block) return false;
  BlockGuard guard(block);
  std::memset(block, 0, 2 * room);
  char* probe = block;
  char* out = block + room;
  std::memcpy(probe, kPrefix, kPrefixLength);
  const std::size_t probe_length = kPrefixLength + GbkCharacters(address, probe + kPrefixLength);
  DWORD size = static_cast<DWORD>(room - 1);
  return InternetCanonicalizeUrlA(probe, out, &size, ICU_NO_ENCODE) && size == probe_length &&
         std::memcmp(out, probe, probe_length + 1) == 0;
}

bool HasHighByte(const char* s) {
  for (; *s; ++s)
    if (static_cast<unsigned char>(*s) >= 0x80) return true;
  return false;
}

// The canonical form of an address: "." and ".." resolved, an empty path made
// "/", unsafe characters kept as they are. It lives in the object's own buffer
// or, when longer, in a block of the size the platform asks for. text() is
// null when there is none: the platform refused, or would change GBK bytes
// (then the address is not fetched at all rather than fetched as another).
class CanonicalAddress {
 public:
  explicit CanonicalAddress(const char* address) {
    if (HasHighByte(address) && !CanonicalFormKeepsBytes(address)) return;
    DWORD size = kCanonicalChars;
    DWORD room = kCanonicalChars;
    char* text = local_;
    if (!InternetCanonicalizeUrlA(address, text, &size, ICU_NO_ENCODE)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > kLargestCanonicalRoom) return;
      // One more than asked for, in case the size reported leaves out the NUL.
      room = size + 1;
      block_ = TryAllocate(static_cast<std::int32_t>(room));
      if (!block_) return;
      text = static_cast<char*>(block_);
      std::memset(text, 0, room);
      size = room;
      if (!InternetCanonicalizeUrlA(address, text, &size, ICU_NO_ENCODE)) return;
    }
    // A canonical form without its NUL inside the buffer is not read past.
    if (std::memchr(text, 0, room)) text_ = text;
  }
  ~CanonicalAddress() { Release(block_); }
  CanonicalAddress(const CanonicalAddress&) = delete;
  CanonicalAddress& operator=(const CanonicalAddress&) = delete;
  const char* text() const { return text_; }

 private:
  char local_[kCanonicalChars] = {};
  void* block_ = nullptr;
  const char* text_ = nullptr;
};

// What the fetch takes from the address: its parts, the service and request
// flags its scheme asks for, and the target sent in the request line.
struct AddressParts {
  // A part of exactly its largest length is taken: each buffer has room for
  // it and its NUL.
  char host[kLargestHost + 1];
  char path[kLargestPath + 1];
  char user[kLargestUserOrPassword + 1];
  char password[kLargestUserOrPassword + 1];
  INTERNET_PORT port;
  DWORD service;
  DWORD flags;
  char target[kLargestPath + 2];
};

// Splits the canonical address into `out`; false when a part does not fit.
// A part the address does not have stays empty.
bool CrackAddress(const char* canonical, AddressParts& out) {
  // Cleared here rather than by member initialisers, which the compiler
  // builds by copying a 4.6 KB image of zeros that it keeps in the exe.
  std::memset(&out, 0, sizeof out);
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = out.host;
  parts.dwHostNameLength = sizeof out.host;
  parts.lpszUrlPath = out.path;
  parts.dwUrlPathLength = sizeof out.path;
  parts.lpszUserName = out.user;
  parts.dwUserNameLength = sizeof out.user;
  parts.lpszPassword = out.password;
  parts.dwPasswordLength = sizeof out.password;
  if (!InternetCrackUrlA(canonical, 0, 0, &parts)) return false;
  out.port = parts.nPort;
  // Schemes 1 to 3 (ftp, gopher, http) share their numbers with the services
  // of the same name; any other scheme keeps its number, which no connection
  // or HTTP request accepts.
  const bool http = parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS;
  out.service = http ? INTERNET_SERVICE_HTTP : static_cast<DWORD>(parts.nScheme);
  out.flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? kFlagsHttps : kFlagsHttp;
  return true;
}

// The request target: the path without its fragment; the query is kept.
// Wine canonicalises "http://host#frag" and "http://host?q" without putting
// a "/" before the "#" or "?", so the split path is "#frag" or "?q" and the
// target cut from it is empty or starts with "?". Whatever the HTTP client
// would make of such a target, the server is asked for "/" (and "/?q"), as
// for "http://host", which becomes "http://host/".
void FormTarget(AddressParts& parts) {
  if (char* hash = std::strchr(parts.path, '#')) *hash = '\0';
  if (parts.path[0] == '/') {
    std::strcpy(parts.target, parts.path);
  } else {
    parts.target[0] = '/';
    std::strcpy(parts.target + 1, parts.path);
  }
}

// The client handle, opened by the first fetch that gets this far; null when
// it cannot be opened, and the next fetch tries again.
HINTERNET Client() {
  InternetClient& client = TheInternetClient();
  if (!client.handle) {
    const bool named_proxy = client.proxy_address && client.proxy_address[0];
    client.handle = InternetOpenA(kUserAgent, named_proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                  named_proxy ? client.proxy_address : nullptr, nullptr, 0);
  }
  return static_cast<HINTERNET>(client.handle);
}

// The proxy settings, on the client and on the connection; what they answer
// is not examined.
void ApplyProxySettings(HINTERNET session, HINTERNET connection) {
  const InternetClient& client = TheInternetClient();
  const bool named_proxy = client.proxy_address && client.proxy_address[0];
  INTERNET_PROXY_INFO proxy{};
  proxy.dwAccessType = named_proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG;
  proxy.lpszProxy = named_proxy ? client.proxy_address : nullptr;
  proxy.lpszProxyBypass = nullptr;
  InternetSetOptionA(session, INTERNET_OPTION_PROXY, &proxy, sizeof proxy);
  const char* proxy_user = client.proxy_user ? client.proxy_user : "";
  const char* proxy_password = client.proxy_password ? client.proxy_password : "";
  InternetSetOptionA(connection, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(proxy_user),
                     static_cast<DWORD>(std::strlen(proxy_user) + 1));
  InternetSetOptionA(connection, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(proxy_password),
                     static_cast<DWORD>(std::strlen(proxy_password) + 1));
}

HINTERNET OpenRequest(HINTERNET connection, const AddressParts& parts) {
  const char* accept_types[] = {"*/*", nullptr};
  return HttpOpenRequestA(connection, "GET", parts.target, "HTTP/1.0", nullptr, accept_types, parts.flags, 0);
}

// Reads the body into `page` until it ends, a read fails or the page cannot
// grow any further.
void ReadBody(HINTERNET request, PageBuffer& page) {
  long long announced = 0;
  const std::int32_t read_size = ReadSizeOf(request, &announced);
  page.Expect(announced);
  void* chunk = TryAllocate(read_size);
  if (!chunk) return;
  BlockGuard chunk_guard(chunk);
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, chunk, static_cast<DWORD>(read_size), &got) || got == 0) return;
    if (!page.Append(chunk, static_cast<std::int32_t>(got))) return;
  }
}

// One fetch, from the address as given to the last byte read. A step that
// fails ends the fetch; whatever `page` holds when this returns is the result.
void Fetch(const char* address, PageBuffer& page) {
  const CanonicalAddress canonical(address);
  if (!canonical.text()) return;
  AddressParts parts;
  if (!CrackAddress(canonical.text(), parts)) return;
  HINTERNET session = Client();
  if (!session) return;
  const HandleGuard connection(
      InternetConnectA(session, parts.host, parts.port, parts.user, parts.password, parts.service, 0, 0));
  if (!connection.get()) return;
  ApplyProxySettings(session, connection.get());
  FormTarget(parts);
  const HandleGuard request(OpenRequest(connection.get(), parts));
  if (!request.get()) return;
  if (!HttpSendRequestA(request.get(), kExtraHeaders, kExtraHeadersLength, nullptr, 0)) return;
  ReadBody(request.get(), page);
  // The guards close the request, then the connection; the client stays open.
}

}  // namespace

void HttpGetPage(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetByteSet(nullptr);
  const char* address = ArgText(args, argc, 0);
  if (!address || !address[0]) return;
  PageBuffer page;
  try {
    Fetch(address, page);
  } catch (...) {
    // Nothing leaves a command by an exception: the guards have closed the
    // handles, and what arrived is still returned.
  }
  // The page's block already has the byte-set layout; it becomes the result.
  result->SetByteSet(page.TakeByteSet());
}

}  // namespace bv

// Page retrieval against the local test server that tests/win/http_test.sh
// starts: what goes out on the wire, and what comes back for each kind of
// answer, broken ones included.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "runtime/internet.h"
#include "runtime/library.h"
#include "runtime/value.h"
#include "tests/win/support/win_test.h"

#include <wincrypt.h>
#include <wininet.h>

namespace {

std::string Env(const char* name) {
  char value[1024];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string Port() { return Env("BVTEST_HTTP_PORT"); }
std::string Url(const std::string& rest) { return "http://127.0.0.1:" + Port() + rest; }

// The bytes of page i % 251, as the server makes them.
std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

struct Page {
  bool null = true;
  std::string bytes;
};

Page Fetch(const std::string& address) {
  bv::ValueRecord r = bv::Call(bv::HttpGetPage, {bv::ValueRecord::TextOf(address.c_str())});
  Page page;
  EXPECT_EQ(r.type, bv::kTypeByteSet);
  if (const std::uint8_t* set = r.AsByteSet()) {
    page.null = false;
    page.bytes.assign(reinterpret_cast<const char*>(bv::ByteSetData(set)), bv::ByteSetLength(set));
    EXPECT_GT(page.bytes.size(), 0u) << "an allocated byte set is never empty";
    bv::Release(set);
  }
  return page;
}

// The server's request log: one file per request, numbered in arrival order.
std::vector<std::string> LoggedRequests() {
  std::vector<std::string> names;
  std::string dir = Env("BVTEST_HTTP_LOG");
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\*.req").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(h, &found));
  FindClose(h);
  std::sort(names.begin(), names.end());
  for (std::string& name : names) name = bvtest::ReadWholeFile(dir + "\\" + name);
  return names;
}

// Fetches `address` and gives the requests the server received meanwhile.
std::vector<std::string> RequestsFor(const std::string& address, Page* page = nullptr) {
  size_t before = LoggedRequests().size();
  Page p = Fetch(address);
  if (page) *page = p;
  std::vector<std::string> all = LoggedRequests();
  return std::vector<std::string>(all.begin() + std::min(before, all.size()), all.end());
}

std::string RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

// The values of every header called `name` (compared without case).
std::vector<std::string> HeaderValues(const std::string& request, const std::string& name) {
  std::vector<std::string> values;
  size_t at = request.find("\r\n");
  while (at != std::string::npos && at + 2 < request.size()) {
    size_t end = request.find("\r\n", at + 2);
    if (end == std::string::npos) break;
    std::string line = request.substr(at + 2, end - at - 2);
    size_t colon = line.find(':');
    if (colon != std::string::npos && _stricmp(line.substr(0, colon).c_str(), name.c_str()) == 0) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      values.push_back(v == std::string::npos ? "" : line.substr(v));
    }
    at = end;
  }
  return values;
}

class Http : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Port().empty()) << "run through tests/win/http_test.sh, which starts the test server";
  }
};

// ---- The request on the wire -------------------------------------------------------

TEST_F(Http, RequestCarriesLineAgentAndOneAcceptHeader) {
  std::vector<std::string> sent = RequestsFor(Url("/body?x=1&y=two"));
  ASSERT_EQ(sent.size(), 1u);
  const std::string& req = sent[0];
  EXPECT_EQ(RequestLine(req), "GET /body?x=1&y=two HTTP/1.0") << req;
  EXPECT_EQ(HeaderValues(req, "User-Agent"),
            std::vector<std::string>{"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"})
      << req;
  EXPECT_EQ(HeaderValues(req, "Accept"), std::vector<std::string>{"*/*"}) << req;
  EXPECT_EQ(HeaderValues(req, "Host"), std::vector<std::string>{"127.0.0.1:" + Port()}) << req;
  EXPECT_TRUE(HeaderValues(req, "Accept-Encoding").empty()) << req;
  EXPECT_EQ(req.substr(req.size() - 4), "\r\n\r\n") << "no body follows the head";
}

// The request target is the path as given but for its fragment, its dot
// segments resolved, "/" when it is empty; the query and escapes stay as
// they are.
TEST_F(Http, TargetKeepsQueryAndEscapesButNotFragmentOrDotSegments) {
  const std::pair<const char*, const char*> cases[] = {
      {"/body?q=1#part2", "/body?q=1"}, {"/body#a#b", "/body"}, {"/a/b/../../body", "/body"},
      {"/%41%20?q=%41", "/%41%20?q=%41"}, {"", "/"}, {"#frag", "/"}, {"/", "/"}, {"?q=1", "/?q=1"}};
  for (const auto& [path, target] : cases) {
    std::vector<std::string> sent = RequestsFor(Url(path));
    ASSERT_EQ(sent.size(), 1u) << path;
    EXPECT_EQ(RequestLine(sent[0]), std::string("GET ") + target + " HTTP/1.0") << path;
  }
}

// GBK bytes in the path go out unchanged or the fetch sends nothing: never a
// path cut short, run on past its end or changed. Each address is followed in
// memory by high bytes, which a scan running past its NUL would take in. WinINet takes addresses
// through the system code page: off 936 a pair that code page cannot spell
// ("\x81\x40" under 949, any GBK under 65001) would go out as other bytes,
// and a trail byte read as a backslash would become a slash. Wine's
// canonical form of a GBK address under 936 comes back cut short and
// unterminated, so there it is refused.
TEST_F(Http, GbkPathIsSentWholeOrNotAtAll) {
  const std::string gbk = "\xD6\xD0\xCE\xC4";  // two GBK characters
  for (const std::string& path : {"/" + gbk, "/a/" + gbk + "?q=" + gbk, "/" + std::string(100, 'x') + gbk,
                                  std::string("/\xD6\xD0"), std::string("/\x81\x40"), std::string("/x\x95\x5C"),
                                  std::string("/\x80\xFE\xFE"), std::string("/a\xD6")}) {
    Page page;
    std::vector<std::string> sent = RequestsFor(Url(path) + '\0' + std::string(1 << 24, '\x80'), &page);
    if (sent.empty()) {
      EXPECT_TRUE(page.null) << bvtest::Hex(path) << " gave " << bvtest::Hex(page.bytes);
      continue;
    }
    ASSERT_EQ(sent.size(), 1u) << bvtest::Hex(path);
    EXPECT_EQ(RequestLine(sent[0]), "GET " + path + " HTTP/1.0") << bvtest::Hex(RequestLine(sent[0]));
    EXPECT_EQ(page.bytes, "page " + path.substr(0, path.find('?'))) << bvtest::Hex(page.bytes);
  }
  // 0x80 and 0xFF are GBK characters of one byte, which code page 936 keeps
  // through the platform: such a path is sent, each of them a character of
  // its own (a backslash after one becomes a slash, as anywhere).
  if (GetACP() != 936) return;
  using Sent = std::pair<std::string, std::string>;
  for (const auto& [path, target] : {Sent("/\x80\xFF", "/\x80\xFF"), Sent("/\x80\\x", "/\x80/x")}) {
    std::vector<std::string> sent = RequestsFor(Url(path));
    ASSERT_EQ(sent.size(), 1u) << bvtest::Hex(path);
    EXPECT_EQ(RequestLine(sent[0]), "GET " + target + " HTTP/1.0") << bvtest::Hex(RequestLine(sent[0]));
  }
}

// Longer than the first canonical buffer of 2,084 characters, yet every part
// fits its own limit: the second, larger buffer must be used.
TEST_F(Http, AddressLongerThanFirstBufferStillFetched) {
  std::string user(120, 'u'), password(120, 'p'), path = "/" + std::string(1990, 'x');
  std::string address = "http://" + user + ":" + password + "@127.0.0.1:" + Port() + path;
  ASSERT_GT(address.size(), 2084u);
  Page page;
  std::vector<std::string> sent = RequestsFor(address, &page);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(RequestLine(sent.back()), "GET " + path + " HTTP/1.0");
  EXPECT_EQ(page.bytes, "page " + path);
}

// Addresses that cannot be fetched send nothing and give null: parts over
// their limits, other schemes (port 1 is closed, so an ftp connection attempt
// fails at once), none at all, and nothing listening.
TEST_F(Http, AddressesThatCannotBeFetchedGiveNull) {
  for (const std::string& address : {
           Url("/" + std::string(2100, 'x')),                                      // path
           Url("/" + std::string(300000, 'x') + "\xD6\xD0"),  // path whose GBK check takes a large block
           "http://" + std::string(140, 'u') + ":p@127.0.0.1:" + Port() + "/body",  // user name
           "http://u:" + std::string(140, 'p') + "@127.0.0.1:" + Port() + "/body",  // password
           std::string("ftp://127.0.0.1:1/body"), std::string("file:///C:/windows/win.ini"),
           std::string("mailto:someone@127.0.0.1"), "127.0.0.1:" + Port() + "/body", std::string("body"),
           std::string("http://"), std::string("http://127.0.0.1:1/body")}) {
    Page page;
    EXPECT_TRUE(RequestsFor(address, &page).empty()) << address.substr(0, 60);
    EXPECT_TRUE(page.null) << address.substr(0, 60) << " gave " << bvtest::Hex(page.bytes);
  }
}

// A part of exactly its largest length is taken, one more is refused: each
// part's buffer has room for the largest part and its NUL.
TEST_F(Http, PartsOfExactlyTheLargestLengthAreTaken) {
  const std::string path = "/" + std::string(2047, 'x');  // 2,048 characters
  Page page;
  std::vector<std::string> sent = RequestsFor(Url(path), &page);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(RequestLine(sent[0]), "GET " + path + " HTTP/1.0");
  EXPECT_EQ(page.bytes, "page " + path);
  EXPECT_TRUE(RequestsFor(Url(path + "x"), &page).empty());
  EXPECT_TRUE(page.null);

  const std::string user(128, 'u'), password(128, 'p');
  sent = RequestsFor("http://" + user + ":" + password + "@127.0.0.1:" + Port() + "/body", &page);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(page.bytes, "hello body");
  EXPECT_TRUE(RequestsFor("http://" + user + "u:p@127.0.0.1:" + Port() + "/body", &page).empty());
  EXPECT_TRUE(RequestsFor("http://u:" + password + "p@127.0.0.1:" + Port() + "/body", &page).empty());
}

// ---- What comes back ------------------------------------------------------------

TEST_F(Http, BodyReturnedWithAndWithoutContentLength) {
  Page page = Fetch(Url("/body"));
  EXPECT_EQ(page.bytes, "hello body") << bvtest::Hex(page.bytes);
  page = Fetch(Url("/noclen"));
  EXPECT_EQ(page.bytes, "no length announced; the end of the connection ends the body") << bvtest::Hex(page.bytes);
}

TEST_F(Http, ErrorStatusBodyIsReturnedLikeAnyPage) {
  Page page = Fetch(Url("/missing"));
  EXPECT_EQ(page.bytes, "<html>not here</html>") << bvtest::Hex(page.bytes);
}

TEST_F(Http, ZeroContentLengthGivesNull) {
  Page page = Fetch(Url("/zero"));
  EXPECT_TRUE(page.null) << bvtest::Hex(page.bytes);
}

// 200,000 bytes take more than one read of the largest size; the chunks must
// be appended whole and in order, with or without an announced length.
TEST_F(Http, LargeBodyArrivesWholeAndInOrder) {
  const std::string expected = Pattern(200000);
  for (const char* path : {"/pattern?n=200000", "/pattern-noclen?n=200000", "/slow?n=200000&pieces=7"}) {
    Page page = Fetch(Url(path));
    ASSERT_EQ(page.bytes.size(), expected.size()) << path;
    EXPECT_TRUE(page.bytes == expected) << path << ": first difference at "
                                        << (std::mismatch(page.bytes.begin(), page.bytes.end(), expected.begin()).first -
                                            page.bytes.begin());
  }
}

TEST_F(Http, ConnectionCutEarlyGivesTheBytesThatArrived) {
  Page page = Fetch(Url("/cut?n=3000"));
  EXPECT_EQ(page.bytes.size(), 3000u);
  EXPECT_TRUE(page.bytes == Pattern(3000));
}

// The server announces twice what it sends and holds the connection open a
// while before closing it; the fetch returns what arrived once it closes.
// Wine sets no read time-out of its own (a fetch from a server that never
// closes waited over 200 s), so the server's hold is what bounds this test.
TEST_F(Http, BodyShorterThanAnnouncedGivesWhatArrived) {
  Page page = Fetch(Url("/short?n=500&hold=2"));
  EXPECT_EQ(page.bytes.size(), 500u);
  EXPECT_TRUE(page.bytes == Pattern(500));
}

// ---- Watching the platform through this program's imports ----------------------------

using bvtest::Exported;
using bvtest::RedirectImport;

// Counts the heap requests this program makes itself (the runtime's, not the
// platform libraries') while it lives. Memory reserved but never touched does
// not show in any figure read from outside under Wine, so the requests are
// what is measured.
class HeapRequests {
 public:
  HeapRequests() {
    Restart();
    redirected_ = RedirectImport<AllocFn>(real_alloc_, &Alloc) + RedirectImport<ReAllocFn>(real_realloc_, &ReAlloc);
  }
  ~HeapRequests() {
    RedirectImport<AllocFn>(&Alloc, real_alloc_);
    RedirectImport<ReAllocFn>(&ReAlloc, real_realloc_);
  }
  HeapRequests(const HeapRequests&) = delete;
  HeapRequests& operator=(const HeapRequests&) = delete;
  void Restart() { count_ = largest_ = 0; }
  size_t count() const { return count_; }
  size_t largest() const { return largest_; }
  int redirected() const { return redirected_; }

 private:
  using AllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
  using ReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
  static void Note(SIZE_T n) {
    ++count_;
    for (size_t seen = largest_; n > seen && !largest_.compare_exchange_weak(seen, n);) {}
  }
  static LPVOID WINAPI Alloc(HANDLE heap, DWORD flags, SIZE_T n) {
    Note(n);
    return real_alloc_(heap, flags, n);
  }
  static LPVOID WINAPI ReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T n) {
    Note(n);
    return real_realloc_(heap, flags, block, n);
  }

  static inline std::atomic<size_t> count_{0}, largest_{0};
  static inline const AllocFn real_alloc_ = Exported<AllocFn>("kernel32.dll", "HeapAlloc");
  static inline const ReAllocFn real_realloc_ = Exported<ReAllocFn>("kernel32.dll", "HeapReAlloc");
  int redirected_ = 0;
};

// A server that announces 200,000,000 bytes and sends ten: the ten bytes come
// back, and no request of the fetch is larger than twice what arrived plus
// 1 MiB. The counter is first shown to see a request of a known size.
TEST_F(Http, OverstatedLengthCostsOnlyWhatArrived) {
  HeapRequests requests;
  ASSERT_GT(requests.redirected(), 0) << "no import entry for HeapAlloc or HeapReAlloc found";
  bv::Release(bv::Allocate(3000000));
  ASSERT_EQ(requests.largest(), 3000000u) << "the counter does not see the runtime's requests";

  requests.Restart();
  Page page = Fetch(Url("/cut?n=10&claim=200000000"));
  EXPECT_EQ(page.bytes, Pattern(10)) << bvtest::Hex(page.bytes);
  EXPECT_GT(requests.count(), 0u);
  EXPECT_LE(requests.largest(), 2u * 10 + (1u << 20)) << "the largest of " << requests.count() << " requests";
}

// The test server's certificate is self-signed, so the platform refuses it:
// the fetch must end with null, not hang, and no request may reach the server.
TEST_F(Http, UntrustedCertificateGivesNull) {
  std::string tls_port = Env("BVTEST_HTTPS_PORT");
  ASSERT_FALSE(tls_port.empty() || tls_port == "0");
  Page page;
  EXPECT_TRUE(RequestsFor("https://127.0.0.1:" + tls_port + "/body", &page).empty());
  EXPECT_TRUE(page.null) << bvtest::Hex(page.bytes);
}

// Adds the certificate in the PEM file to the trusted roots of this test's own
// prefix (every test program runs in a fresh one).
bool TrustCertificate(const std::string& pem_path) {
  std::string pem = bvtest::ReadWholeFile(pem_path);
  DWORD size = 0;
  if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
    return false;
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) return false;
  HCERTSTORE root = CertOpenSystemStoreA(0, "ROOT");
  if (!root) return false;
  BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  return added != FALSE;
}

// Under Wine a root added after the process's first TLS connection is not
// seen by later ones (the refused certificate above stays refused), so the
// certificate is trusted and the page fetched in a child process that has
// made no TLS connection before.
BVTEST_CHILD(trusted_https_fetch) {
  if (!TrustCertificate(Env("BVTEST_HTTPS_TRUSTED_CERT"))) return 10;
  Page page = Fetch("https://localhost:" + Env("BVTEST_HTTPS_TRUSTED_PORT") + "/body?x=1#f");
  return page.bytes == "hello body" ? 0 : 20;
}

// The same request shape over TLS once the server's certificate is trusted.
TEST_F(Http, TrustedHttpsServerIsFetchedWithTheSameRequest) {
  ASSERT_FALSE(Env("BVTEST_HTTPS_TRUSTED_PORT").empty());
  size_t before = LoggedRequests().size();
  EXPECT_EQ(bvtest::RunChild("trusted_https_fetch", "", nullptr, 60000), 0)
      << "10: the certificate was not added, 20: wrong page";
  std::vector<std::string> all = LoggedRequests();
  ASSERT_EQ(all.size(), before + 1);
  const std::string& req = all.back();
  EXPECT_EQ(RequestLine(req), "GET /body?x=1 HTTP/1.0") << req;
  EXPECT_EQ(HeaderValues(req, "User-Agent"),
            std::vector<std::string>{"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"});
  EXPECT_EQ(HeaderValues(req, "Accept"), std::vector<std::string>{"*/*"}) << req;
}

// ---- The client handle ------------------------------------------------------------

// The client handle as the platform sees it: every handle this program's
// InternetOpenA gives, and every InternetCloseHandle it makes. Installed for
// the rest of the process; only the scenario's own child process uses it.
struct ClientHandles {
  using OpenFn = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
  using CloseFn = BOOL(WINAPI*)(HINTERNET);
  static inline const OpenFn real_open = Exported<OpenFn>("wininet.dll", "InternetOpenA");
  static inline const CloseFn real_close = Exported<CloseFn>("wininet.dll", "InternetCloseHandle");
  static inline int opens = 0;
  static inline int closes = 0;
  static inline HINTERNET open_client = nullptr;

  static HINTERNET WINAPI Open(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
    HINTERNET h = real_open(agent, access, proxy, bypass, flags);
    if (h) {
      ++opens;
      open_client = h;
    }
    return h;
  }
  static BOOL WINAPI Close(HINTERNET h) {
    ++closes;
    if (h && h == open_client) open_client = nullptr;
    return real_close(h);
  }
  static bool Watch() {
    return RedirectImport<OpenFn>(real_open, &Open) > 0 && RedirectImport<CloseFn>(real_close, &Close) > 0;
  }
};

// Each scenario runs in a process of its own, so no earlier fetch has opened
// the client handle. The exit code names the first check that failed.
BVTEST_CHILD(client_handle_lifetime) {
  if (!ClientHandles::Watch()) return 9;
  bv::ValueRecord r = bv::Call(bv::HttpGetPage, {bv::ValueRecord::TextOf(bv::kEmptyText)});
  if (r.AsByteSet() || r.type != bv::kTypeByteSet) return 10;
  r = bv::Call(bv::HttpGetPage, {bv::ValueRecord::TextOf(nullptr)});
  if (r.AsByteSet()) return 11;
  if (ClientHandles::opens != 0) return 12;

  for (int i = 0; i < 2; ++i) {
    r = bv::Call(bv::HttpGetPage, {bv::ValueRecord::TextOf(Url("/body").c_str())});
    if (bv::ByteSetLength(r.AsByteSet()) != 10) return 20 + i;
    bv::Release(r.AsByteSet());
  }
  if (!ClientHandles::open_client || ClientHandles::opens != 1) return 30;

  const bv::LibraryInfo& lib = bv::InternetLibrary();
  if (!lib.notify) return 40;
  lib.notify(bv::kNotifyEnd, 0);
  if (ClientHandles::open_client) return 41;
  const int closes = ClientHandles::closes;
  lib.notify(bv::kNotifyEnd, 0);
  if (ClientHandles::closes != closes) return 42;  // a second end finds nothing to close

  r = bv::Call(bv::HttpGetPage, {bv::ValueRecord::TextOf(Url("/body").c_str())});
  if (bv::ByteSetLength(r.AsByteSet()) != 10) return 50;
  bv::Release(r.AsByteSet());
  if (ClientHandles::opens != 2 || !ClientHandles::open_client) return 51;
  return 0;
}

TEST_F(Http, ClientHandleOpenedOnceByFirstRealFetchAndClosedAtEnd) {
  EXPECT_EQ(bvtest::RunChild("client_handle_lifetime", "", nullptr, 60000), 0);
}

}  // namespace

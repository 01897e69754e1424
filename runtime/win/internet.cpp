#include "runtime/internet.h"

#include <windows.h>
#include <wininet.h>

#include "runtime/win/internet_client.h"

namespace bv {

namespace {

InternetClient g_client;

std::intptr_t InternetNotify(std::int32_t code, std::intptr_t) {
  if (code == kNotifyEnd && g_client.handle) {
    InternetCloseHandle(static_cast<HINTERNET>(g_client.handle));
    g_client.handle = nullptr;
  }
  return 0;
}

const LibraryInfo kLibrary = {InternetNotify};

}  // namespace

InternetClient& TheInternetClient() { return g_client; }

const LibraryInfo& InternetLibrary() { return kLibrary; }

}  // namespace bv

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

const CommandInfo kCommands[] = {
    {"HttpGetPage", HttpGetPage},
};

const LibraryInfo kLibrary = {
    kInternetLibrary, "internet", kCommands, static_cast<std::int32_t>(sizeof kCommands / sizeof kCommands[0]),
    InternetNotify,
};

}  // namespace

InternetClient& TheInternetClient() { return g_client; }

const LibraryInfo& InternetLibrary() { return kLibrary; }

bool InternetClientIsOpen() { return g_client.handle != nullptr; }
int InternetClientOpenCount() { return g_client.opens; }

}  // namespace bv

// The WinINet client handle that the internet library's commands share
// (runtime/internet.h): opened by the first fetch that needs it, closed by the
// library's end notification.
#pragma once

#include "runtime/value.h"

namespace bv {

struct InternetClient {
  void* handle = nullptr;  // HINTERNET from InternetOpenA, or none
  // Nothing in the tool sets these; empty means a direct connection.
  const char* proxy_address = kEmptyText;
  const char* proxy_user = kEmptyText;
  const char* proxy_password = kEmptyText;
};
InternetClient& TheInternetClient();

}  // namespace bv

// Calls the runtime's OpenUrl the way the site button does, so that
// end-to-end tests can see what reaches the registered browser.
//   open_url.exe [ADDRESS]     no argument: the call with the argument omitted
// The address is taken in wide characters and handed on in GBK. Exit code 0.
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/shell.h"
#include "runtime/value.h"
#include "tests/win/support/win_test.h"

int main() {
  const std::vector<std::wstring> args = bvtest::WideArgs();
  if (args.size() > 1) {
    const std::string address = bvtest::GbkFromWide(args[1]);
    bv::Call(bv::OpenUrl, {bv::ValueRecord::TextOf(address.c_str())});
  } else {
    bv::Call(bv::OpenUrl, {});
  }
  // The shell hands the address on asynchronously in places; give it a moment
  // before the process (and with it any shell helper thread) goes away.
  Sleep(500);
  return 0;
}

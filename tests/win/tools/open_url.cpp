// Calls the runtime's OpenUrl the way the site button does, so that
// end-to-end tests can see what reaches the registered browser.
//   open_url.exe [ADDRESS]     no argument: the call with the argument omitted
// Exit code 0.
#include <windows.h>

#include "runtime/shell.h"
#include "runtime/value.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    bv::Call(bv::OpenUrl, {bv::ValueRecord::TextOf(argv[1])});
  } else {
    bv::Call(bv::OpenUrl, {});
  }
  // The shell hands the address on asynchronously in places; give it a moment
  // before the process (and with it any shell helper thread) goes away.
  Sleep(500);
  return 0;
}

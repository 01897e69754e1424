// Writes a shell link with the runtime's CreateShortcut, the way the program
// does, so that Linux-side tests can read the file it leaves.
//   make_shortcut.exe LINK TARGET [DESCRIPTION|- [ARGUMENTS|- [WORKDIR|-]]]
// "-" passes an omitted argument; with fewer than five given, the call has only
// as many arguments as given. Exit code 0 when the link was written, 1 when
// not, 2 on bad usage.
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <vector>

#include "runtime/shell.h"
#include "runtime/value.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 6) return 2;
  if (FAILED(CoInitialize(nullptr))) return 1;
  std::vector<bv::ValueRecord> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(i >= 3 && std::strcmp(argv[i], "-") == 0 ? bv::ValueRecord::Omit()
                                                              : bv::ValueRecord::TextOf(argv[i]));
  bv::ValueRecord result{};
  bv::CreateShortcut(&result, static_cast<std::int32_t>(args.size()), args.data());
  CoUninitialize();
  return result.AsBool() ? 0 : 1;
}

// Writes a shell link with the runtime's CreateShortcut, the way the program
// does, so that Linux-side tests can read the file it leaves.
//   make_shortcut.exe LINK TARGET [DESCRIPTION|- [ARGUMENTS|- [WORKDIR|-]]]
// Arguments are taken in wide characters and handed on as the GBK texts the
// program would hold. "-" passes an omitted argument; with fewer than five
// given, the call has only as many arguments as given. Exit code 0 when the
// link was written, 1 when not, 2 on bad usage.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "runtime/shell.h"
#include "runtime/value.h"
#include "tests/win/support/win_test.h"

int main() {
  const std::vector<std::wstring> wide = bvtest::WideArgs();
  if (wide.size() < 3 || wide.size() > 6) return 2;
  if (FAILED(CoInitialize(nullptr))) return 1;
  std::vector<std::string> texts;
  for (const std::wstring& w : wide) texts.push_back(bvtest::GbkFromWide(w));
  std::vector<bv::ValueRecord> args;
  for (std::size_t i = 1; i < texts.size(); ++i)
    args.push_back(i >= 3 && texts[i] == "-" ? bv::ValueRecord::Omit() : bv::ValueRecord::TextOf(texts[i].c_str()));
  bv::ValueRecord result{};
  bv::CreateShortcut(&result, static_cast<std::int32_t>(args.size()), args.data());
  CoUninitialize();
  return result.AsBool() ? 0 : 1;
}

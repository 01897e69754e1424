#include "runtime/fatal.h"

#include <cstdio>
#include <new>
#include <string>

#include "runtime/platform.h"
#include "runtime/program.h"
#include "runtime/texts.h"

namespace bv {

std::size_t FatalReportText(char* out, std::size_t size, const char* message, std::int32_t code) {
  std::size_t n = 0;
  // Each part goes after the last; once the buffer is full the rest is only counted.
  auto put = [&](const char* format, auto... parts) {
    const bool room = out && n < size;
    const int w = std::snprintf(room ? out + n : nullptr, room ? size - n : 0, format, parts...);
    n += w > 0 ? static_cast<std::size_t>(w) : 0;
  };
  put("%s", texts::kFatalHeading);
  if (code != 0) put("%s%d\r\n\r\n", texts::kFatalCodeLabel, static_cast<int>(code));
  if (message && *message) put("%s%s\r\n", texts::kFatalMessageLabel, message);
  return n;
}

void FatalRuntimeError(const char* message, std::int32_t code) {
  BlockEvents();
  // The heap may be the very thing that failed, and then even the report's
  // string cannot be had: the report goes together in a fixed buffer instead
  // (a very long message cut short), so that the box still shows and the exit
  // code is still -1 rather than an escaping exception.
  char spare[512];
  const char* shown = spare;
  std::string text;
  try {
    text.resize(FatalReportText(nullptr, 0, message, code));
    FatalReportText(text.data(), text.size() + 1, message, code);
    shown = text.c_str();
  } catch (const std::bad_alloc&) {
    FatalReportText(spare, sizeof spare, message, code);
  }
  platform::ShowFatalReport(shown, texts::kFatalCaption);
  ForgetEndCallback();
  EndProgram(-1);
}

}  // namespace bv

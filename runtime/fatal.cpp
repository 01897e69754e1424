#include "runtime/fatal.h"

#include <cstdio>
#include <new>

#include "runtime/platform.h"
#include "runtime/program.h"
#include "runtime/texts.h"

namespace bv {

std::string FatalReportText(const char* message, std::int32_t code) {
  std::string text = texts::kFatalHeading;
  if (code != 0) {
    text += texts::kFatalCodeLabel;
    text += std::to_string(code);
    text += "\r\n\r\n";
  }
  if (message && *message) {
    text += texts::kFatalMessageLabel;
    text += message;
    text += "\r\n";
  }
  return text;
}

void FatalRuntimeError(const char* message, std::int32_t code) {
  BlockEvents();
  // The heap may be the very thing that failed, and then even the report's
  // string cannot grow: the report goes together in a fixed buffer instead (a
  // very long message cut short), so that the box still shows and the exit
  // code is still -1 rather than an escaping exception.
  char spare[512];
  const char* shown = spare;
  std::string text;
  try {
    text = FatalReportText(message, code);
    shown = text.c_str();
  } catch (const std::bad_alloc&) {
    std::size_t n = static_cast<std::size_t>(std::snprintf(spare, sizeof spare, "%s", texts::kFatalHeading));
    if (code != 0 && n < sizeof spare)
      n += static_cast<std::size_t>(
          std::snprintf(spare + n, sizeof spare - n, "%s%d\r\n\r\n", texts::kFatalCodeLabel, static_cast<int>(code)));
    if (message && *message && n < sizeof spare)
      std::snprintf(spare + n, sizeof spare - n, "%s%s\r\n", texts::kFatalMessageLabel, message);
  }
  platform::ShowFatalReport(shown, texts::kFatalCaption);
  ForgetEndCallback();
  EndProgram(-1);
}

}  // namespace bv

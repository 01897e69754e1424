#include "runtime/fatal.h"

#include "runtime/platform.h"
#include "runtime/program.h"
#include "runtime/texts.h"

namespace bv {

namespace {
FatalHook g_hook = nullptr;
}

void SetFatalHook(FatalHook hook) { g_hook = hook; }

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
  // The report is built in std::string memory, not through Allocate: the heap
  // may be the very thing that failed.
  const std::string text = FatalReportText(message, code);
  if (!g_hook || g_hook(message, code)) platform::ShowFatalReport(text.c_str(), texts::kFatalCaption);
  ForgetEndCallback();
  EndProgram(-1);
}

}  // namespace bv

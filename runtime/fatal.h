// The fatal runtime error report: shown once, then the program ends with -1.
#pragma once

#include <cstdint>
#include <string>

namespace bv {

// The report's text: the heading, the code line when code != 0, the message
// line when the message is not empty.
std::string FatalReportText(const char* message, std::int32_t code);

// A hook a program may install, consulted before the box; returning false
// suppresses the box. This program installs none.
using FatalHook = bool (*)(const char* message, std::int32_t code);
void SetFatalHook(FatalHook hook);

// Blocks events, shows the report, forgets the end callback and ends the
// program with exit code -1. Never returns.
[[noreturn]] void FatalRuntimeError(const char* message, std::int32_t code = 0);

}  // namespace bv

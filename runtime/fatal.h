// The fatal runtime error report: shown once, then the program ends with -1.
#pragma once

#include <cstdint>
#include <string>

namespace bv {

// The report's text: the heading, the code line when code != 0, the message
// line when the message is not empty.
std::string FatalReportText(const char* message, std::int32_t code);

// Blocks events, shows the report, forgets the end callback and ends the
// program with exit code -1. Never returns.
[[noreturn]] void FatalRuntimeError(const char* message, std::int32_t code = 0);

}  // namespace bv

// The fatal runtime error report: shown once, then the program ends with -1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bv {

// Writes the report's text into `out` (`size` bytes): the heading, the code
// line when code != 0, the message line when the message is not empty. A text
// that does not fit is cut short; `out` always ends in a NUL when size > 0.
// Answers the length of the whole text, so a null `out` with size 0 measures.
std::size_t FatalReportText(char* out, std::size_t size, const char* message, std::int32_t code);

// Blocks events, shows the report, forgets the end callback and ends the
// program with exit code -1. Never returns.
[[noreturn]] void FatalRuntimeError(const char* message, std::int32_t code = 0);

}  // namespace bv

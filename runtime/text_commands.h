// Text commands of the core library. Each has the command shape of
// runtime/value.h and follows its ownership rules: text and byte-set results
// are new allocations or null, arguments are borrowed.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace bv {

// ToText(value of any type) -> Text (null when empty)
void ToText(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// ToByteSet(value of any type) -> ByteSet (null when empty)
void ToByteSet(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// TextLength(text) -> integer
void TextLength(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// FindText(searched, sought, [start position], [ignore case]) -> 1-based position or -1
void FindText(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// MidText(text, start, count) -> Text (null when empty)
void MidText(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

// Byte-wise unsigned comparison, null equal to empty: -1, 0 or 1. A plain
// function, not a command: the logic's text comparisons call it directly.
int CompareTexts(const char* a, const char* b);

}  // namespace bv

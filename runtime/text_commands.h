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

// The search behind FindText, on a text whose length is already known.
// `text` must have a NUL at text[length]. Looks for `sought` (sought_length
// bytes, at least 1) from the 0-based offset `start` (0 <= start), stepping
// over double-byte characters whole as seen from `start`; with `ignore_case`
// the letters A to Z equal a to z on both sides. Answers the 0-based offset of
// the first match from the start of `text`, or -1.
std::int32_t FindBytes(const char* text, std::int32_t length, std::int32_t start, const char* sought,
                       std::int32_t sought_length, bool ignore_case);

}  // namespace bv

// The runtime service entry: the one function through which library and unit
// code reaches the runtime, by service number with two pointer-sized arguments.
#pragma once

#include <cstdint>

namespace bv {

using ServiceFn = std::intptr_t (*)(std::intptr_t a, std::intptr_t b);

// Services of values and memory (always present):
//   2023 release an array (type code, block)     2024 allocate (size, flag)
//   2025 release (pointer)                        2026 reallocate (pointer, size)
//   2027 fatal error (message)                    2028 end the program (exit code)
// Unit services (2000, 2006 to 2010, 2031) are added by the unit model.
std::intptr_t RuntimeService(std::int32_t number, std::intptr_t a, std::intptr_t b);

// Adds or replaces a service. Numbers outside the table's range are refused.
bool RegisterService(std::int32_t number, ServiceFn fn);

// Releases an array block of the given type: for text and byte-set element
// types each element first, then the block.
void ReleaseArray(std::uint32_t type, void* block);

}  // namespace bv

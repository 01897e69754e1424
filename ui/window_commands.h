// The two window commands of the core library: a unit's native handle and the
// destruction of a window or unit. Both name a unit by a unit reference
// (window identifier in the value word, unit identifier in the high word); a
// reference to nothing live is the fatal "指定窗口或窗口组件不存在或尚未载入".
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace bv {

// GetWindowHandle(unit reference) -> integer: the native window handle.
void GetWindowHandle(ValueRecord* result, std::int32_t argc, const ValueRecord* args);
// DestroyUnit(unit reference, [at once]) -> nothing. A window goes when the
// message loop next delivers its deferred-destroy message, or at once when the
// second argument is true; a unit inside a window goes at once.
void DestroyUnit(ValueRecord* result, std::int32_t argc, const ValueRecord* args);

}  // namespace bv

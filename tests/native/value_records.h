// Value records of the types the tests hand to commands but the program never
// builds itself: bytes, shorts, floats, doubles, date-times and arrays.
#pragma once

#include <cstdint>
#include <cstring>

#include "runtime/value.h"

namespace bvtest {

inline bv::ValueRecord Byte(std::uint8_t v) { return bv::ValueRecord::Of(bv::kTypeByte, v); }
inline bv::ValueRecord Short(std::int16_t v) { return bv::ValueRecord::Of(bv::kTypeShort, static_cast<std::uint16_t>(v)); }
inline bv::ValueRecord Float(float f) {
  std::uint32_t w;
  std::memcpy(&w, &f, sizeof w);
  return bv::ValueRecord::Of(bv::kTypeFloat, w);
}
inline bv::ValueRecord Double(double d, bv::TypeCode type = bv::kTypeDouble) {
  std::uint64_t w;
  std::memcpy(&w, &d, sizeof w);
  return bv::ValueRecord::Of(type, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(w >> 32));
}
inline bv::ValueRecord DateTime(double days) { return Double(days, bv::kTypeDateTime); }
inline bv::ValueRecord Array(bv::TypeCode element, const void* block) {
  bv::ValueRecord r = bv::ValueRecord::Of(element | bv::kArrayFlag, 0);
  r.SetPointer(block);
  return r;
}

}  // namespace bvtest

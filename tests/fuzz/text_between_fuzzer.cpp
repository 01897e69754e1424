// TextBetween against the reference cut built on the stepping search.
//
// Input: left marker length, right marker length, then the two markers and the
// source. The top bit of a length takes that marker out of the source instead
// (from the position given by the next byte), to make hits common.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/text_between.h"
#include "runtime/value.h"
#include "stepping_reference.h"

namespace {

std::string Take(const std::uint8_t*& data, std::size_t& size, std::size_t n) {
  n = std::min(n, size);
  std::string s(reinterpret_cast<const char*>(data), n);
  data += n;
  size -= n;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint8_t left_n = data[0], right_n = data[1], left_at = data[2], right_at = data[3];
  data += 4;
  size -= 4;
  std::string left = Take(data, size, left_n & 0x3F);
  std::string right = Take(data, size, right_n & 0x3F);
  std::string source = Take(data, size, size);
  if ((left_n & 0x80) && !source.empty()) left = source.substr(left_at % source.size(), left_n & 0x3F);
  if ((right_n & 0x80) && !source.empty()) right = source.substr(right_at % source.size(), right_n & 0x3F);

  char* got = bv::TextBetween(source.c_str(), left.c_str(), right.c_str());
  const std::optional<std::string> expected = ref::Between(source.c_str(), left.c_str(), right.c_str());
  bool same = got ? (expected && *expected == got && *got != '\0') : !expected.has_value();
  if (!same) {
    std::fprintf(stderr, "TextBetween gave %s, the reference %s\n", got ? got : "(null)",
                 expected ? expected->c_str() : "(null)");
    std::abort();
  }
  bv::Release(got);
  return 0;
}

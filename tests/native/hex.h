// Hex dump for assertion messages about byte texts in the native tests.
#pragma once

#include <cstdio>
#include <string>

namespace bvtest {

inline std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  return out.empty() ? "(empty)" : out;
}

}  // namespace bvtest

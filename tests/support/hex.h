// Hex dump for assertion messages about byte texts in both trees: "d6 d0 0a".
#pragma once

#include <cstdio>
#include <string>

namespace bvtest {

inline std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02x ", c);
    out += b;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace bvtest

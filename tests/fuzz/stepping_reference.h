// Plain references for the differential fuzzers: the search stepping one
// character at a time from the start of its range, and the cut between two
// markers built on it. Written for obviousness, not speed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace ref {

inline unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; }

// 1-based position of `sought` in `text` or -1; `start` is the optional
// 1-based start position.
inline std::int32_t Find(const char* text, const char* sought, std::optional<std::int32_t> start, bool ignore_case) {
  const std::int64_t length = std::strlen(text);
  const std::int64_t m = std::strlen(sought);
  const std::int64_t s = start ? std::max<std::int64_t>(std::int64_t{*start} - 1, 0) : 0;
  std::int64_t r = s == 0 ? length : (s < length ? length - s : 0);
  if (m == 0) return r > 0 ? 1 : -1;
  std::int64_t p = s;
  while (r >= m) {
    bool equal = true;
    for (std::int64_t k = 0; k < m && equal; ++k) {
      unsigned char a = text[p + k], b = sought[k];
      equal = ignore_case ? Fold(a) == Fold(b) : a == b;
    }
    if (equal) return static_cast<std::int32_t>(p + 1);
    if (static_cast<unsigned char>(text[p]) >= 0x80) {
      if (text[p + 1] == '\0') return -1;
      p += 2;
      r -= 2;
    } else {
      p += 1;
      r -= 1;
    }
  }
  return -1;
}

// The bytes between the first left marker and the first right marker after
// it; nullopt stands for the empty text (also when the left marker is absent).
inline std::optional<std::string> Between(const char* source, const char* left, const char* right) {
  const std::int64_t l = std::strlen(left);
  const std::int32_t p = Find(source, left, std::nullopt, true);
  if (p < 0) return std::nullopt;
  const std::int64_t s = p + l;
  const std::int32_t r = Find(source, right, static_cast<std::int32_t>(s), true);
  const std::int64_t count = r - s;
  const std::int64_t length = std::strlen(source);
  if (s - 1 < 0 || s - 1 >= length || count <= 0) return std::nullopt;
  return std::string(source + s - 1, static_cast<std::size_t>(std::min(count, length - (s - 1))));
}

}  // namespace ref

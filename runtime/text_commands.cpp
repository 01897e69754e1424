#include "runtime/text_commands.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/texts.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BV_TEXT_SSE2 1
#endif

namespace bv {

namespace {

// ---- Values as bytes ---------------------------------------------------------

// The element bytes of a numeric array, every element in storage order
// whatever the dimension count. False for a block whose header makes no sense
// and for more bytes than a text or byte set can hold.
bool NumericArrayBytes(const ValueRecord& v, const std::uint8_t** data, std::int32_t* size) {
  ArrayBlock array;
  if (!ReadArrayBlock(v.Pointer(), NumericWidth(ElementType(v.type)), &array)) return false;
  // Leaves room for the header of a byte set and the NUL of a text.
  constexpr std::int64_t kMaxBytes = INT32_MAX - 16;
  if (array.bytes > kMaxBytes) return false;
  *data = array.elements;
  *size = static_cast<std::int32_t>(array.bytes);
  return true;
}

// ---- Date-time ----------------------------------------------------------------

struct CivilTime {
  std::int64_t year;
  int month, day, hour, minute, second;
};

// Gregorian date of a day count from 1 January 1970 (proleptic throughout).
void CivilFromDays(std::int64_t z, CivilTime* t) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  t->day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t->month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t->year = yoe + era * 400 + (t->month <= 2 ? 1 : 0);
}

// Day 0 of a date-time value is 30 December 1899; the whole part counts days
// and the fraction, taken without its sign, is the time of that day (so -1.25
// is 29 December 1899 at 06:00, not the 28th at 18:00).
CivilTime SplitDateTime(double days) {
  if (std::isnan(days)) days = 0;
  days = std::clamp(days, -657434.0, 2958465.0);
  std::int64_t day = static_cast<std::int64_t>(days);  // toward zero
  std::int64_t seconds = std::llround(std::fabs(days - static_cast<double>(day)) * 86400.0);
  if (seconds >= 86400) {  // rounded up into the next calendar day
    ++day;
    seconds -= 86400;
  }
  CivilTime t{};
  constexpr std::int64_t kDay0FromEpoch = -25569;  // 1899-12-30 from 1970-01-01
  CivilFromDays(day + kDay0FromEpoch, &t);
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

char* FormatDateTime(double days) {
  const CivilTime t = SplitDateTime(days);
  char buffer[96];
  int n = std::snprintf(buffer, sizeof buffer, texts::kDateFormat, static_cast<int>(t.year), t.month, t.day);
  char* tail = buffer + n;
  const std::size_t room = sizeof buffer - static_cast<std::size_t>(n);
  if (t.second != 0)
    std::snprintf(tail, room, texts::kTimeHms, t.hour, t.minute, t.second);
  else if (t.minute != 0)
    std::snprintf(tail, room, texts::kTimeHm, t.hour, t.minute);
  else if (t.hour != 0)
    std::snprintf(tail, room, texts::kTimeH, t.hour);
  return CopyText(buffer);
}

// ---- Search ---------------------------------------------------------------------

constexpr std::uint8_t FoldByte(std::uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<std::uint8_t>(c + 0x20) : c; }

// How common a byte is in the pages and batches this program searches; the
// candidate scan keys on the two least common bytes of the sought text.
int ByteRank(std::uint8_t c, bool ignore_case) {
  static constexpr char kLetterOrder[] = "etaoinsrhldcumfpgwybvkxjqz";
  if (c >= 'A' && c <= 'Z') {
    int lower = 230 - static_cast<int>(std::strchr(kLetterOrder, c + 0x20) - kLetterOrder) * 3;
    return ignore_case ? lower + 5 : 110;
  }
  if (c >= 'a' && c <= 'z') {
    int lower = 230 - static_cast<int>(std::strchr(kLetterOrder, c) - kLetterOrder) * 3;
    return ignore_case ? lower + 5 : lower;
  }
  if (c == ' ') return 255;
  if (c == '\t' || c == '\n') return 210;
  if (c == '\r') return 190;
  if (std::strchr("<>\"=/:.-_", c) && c != 0) return 200;
  if (c >= '0' && c <= '9') return 170;
  if (c >= 0x80) return 100;
  if (c < 0x20) return 5;
  return 140;  // other punctuation
}

class Searcher {
 public:
  Searcher(const std::uint8_t* text, std::ptrdiff_t length, const std::uint8_t* sought, std::ptrdiff_t m)
      : text_(text), sought_(sought), m_(m), last_(length - m) {}

  template <bool kFold>
  std::ptrdiff_t Run(std::ptrdiff_t start) {
    boundary_ = start;
    PickKeys(kFold);
    std::ptrdiff_t pos = start;
#ifdef BV_TEXT_SSE2
    const __m128i a_lo = _mm_set1_epi8(static_cast<char>(k1_lo_));
    const __m128i a_up = _mm_set1_epi8(static_cast<char>(k1_up_));
    const __m128i b_lo = _mm_set1_epi8(static_cast<char>(k2_lo_));
    const __m128i b_up = _mm_set1_epi8(static_cast<char>(k2_up_));
    const std::uint8_t* p1 = text_ + i1_;
    const std::uint8_t* p2 = text_ + i2_;
    // Every 16-byte load ends at or before the last key byte of the last
    // candidate, so nothing past the text is read.
    while (pos + 31 <= last_) {
      __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + pos));
      __m128i y0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p2 + pos));
      __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + pos + 16));
      __m128i y1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p2 + pos + 16));
      __m128i e0, e1;
      if constexpr (kFold) {
        e0 = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(x0, a_lo), _mm_cmpeq_epi8(x0, a_up)),
                           _mm_or_si128(_mm_cmpeq_epi8(y0, b_lo), _mm_cmpeq_epi8(y0, b_up)));
        e1 = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(x1, a_lo), _mm_cmpeq_epi8(x1, a_up)),
                           _mm_or_si128(_mm_cmpeq_epi8(y1, b_lo), _mm_cmpeq_epi8(y1, b_up)));
      } else {
        e0 = _mm_and_si128(_mm_cmpeq_epi8(x0, a_lo), _mm_cmpeq_epi8(y0, b_lo));
        e1 = _mm_and_si128(_mm_cmpeq_epi8(x1, a_lo), _mm_cmpeq_epi8(y1, b_lo));
      }
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(e0)) |
                      (static_cast<unsigned>(_mm_movemask_epi8(e1)) << 16);
      while (mask != 0) {
        std::ptrdiff_t q = pos + std::countr_zero(mask);
        if (Accept<kFold>(q)) return q;
        mask &= mask - 1;
      }
      pos += 32;
    }
#endif
    for (; pos <= last_; ++pos) {
      std::uint8_t c1 = text_[pos + i1_], c2 = text_[pos + i2_];
      if ((c1 == k1_lo_ || c1 == k1_up_) && (c2 == k2_lo_ || c2 == k2_up_) && Accept<kFold>(pos)) return pos;
    }
    return -1;
  }

 private:
  void PickKeys(bool fold) {
    i1_ = 0;
    for (std::ptrdiff_t i = 1; i < m_; ++i)
      if (ByteRank(sought_[i], fold) < ByteRank(sought_[i1_], fold)) i1_ = i;
    i2_ = i1_;
    for (std::ptrdiff_t i = 0; i < m_; ++i)
      if (i != i1_ && (i2_ == i1_ || ByteRank(sought_[i], fold) < ByteRank(sought_[i2_], fold))) i2_ = i;
    auto variants = [fold](std::uint8_t c, std::uint8_t* lo, std::uint8_t* up) {
      *lo = *up = c;
      if (fold) {
        *lo = FoldByte(c);
        *up = (*lo >= 'a' && *lo <= 'z') ? static_cast<std::uint8_t>(*lo - 0x20) : *lo;
      }
    };
    variants(sought_[i1_], &k1_lo_, &k1_up_);
    variants(sought_[i2_], &k2_lo_, &k2_up_);
  }

  template <bool kFold>
  bool Accept(std::ptrdiff_t q) {
    if constexpr (kFold) {
      for (std::ptrdiff_t k = 0; k < m_; ++k)
        if (FoldByte(text_[q + k]) != FoldByte(sought_[k])) return false;
    } else {
      if (std::memcmp(text_ + q, sought_, static_cast<std::size_t>(m_)) != 0) return false;
    }
    return StartsCharacter(q);
  }

  // Whether stepping from the start of the range (one byte for a byte below
  // 0x80, two for a lead byte) lands on q. A byte below 0x80 always ends a
  // character, as a single byte or as a trail byte, so the byte after it
  // starts one; from there on only lead/trail pairs follow up to q, and q
  // starts a character exactly when the run of bytes >= 0x80 before it has
  // even length. boundary_ is a known start at or before every candidate
  // still to come, which keeps the backward walk linear over the whole scan.
  bool StartsCharacter(std::ptrdiff_t q) {
    std::ptrdiff_t j = q;
    while (j > boundary_ && text_[j - 1] >= 0x80) --j;
    if (((q - j) & 1) == 0) {
      boundary_ = q;
      return true;
    }
    boundary_ = q + 1;  // q is a trail byte, so the byte after it starts a character
    return false;
  }

  const std::uint8_t* text_;
  const std::uint8_t* sought_;
  std::ptrdiff_t m_;
  std::ptrdiff_t last_;  // last offset where a match could start
  std::ptrdiff_t boundary_ = 0;
  std::ptrdiff_t i1_ = 0, i2_ = 0;
  std::uint8_t k1_lo_ = 0, k1_up_ = 0, k2_lo_ = 0, k2_up_ = 0;
};

char* TextOfBytes(const std::uint8_t* data, std::int32_t n) {
  if (n <= 0) return nullptr;
  auto nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, static_cast<std::size_t>(n)));
  return MakeText(data, nul ? static_cast<std::int32_t>(nul - data) : n);
}

template <class... A>
char* Formatted(const char* format, A... a) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a...);
  return CopyText(buffer);
}

}  // namespace

std::int32_t FindBytes(const char* text, std::int32_t length, std::int32_t start, const char* sought,
                       std::int32_t sought_length, bool ignore_case) {
  if (sought_length < 1 || start < 0 || static_cast<std::int64_t>(length) - start < sought_length) return -1;
  Searcher s(reinterpret_cast<const std::uint8_t*>(text), length, reinterpret_cast<const std::uint8_t*>(sought),
             sought_length);
  std::ptrdiff_t q = ignore_case ? s.Run<true>(start) : s.Run<false>(start);
  return static_cast<std::int32_t>(q);
}

void ToText(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  const ValueRecord v = argc >= 1 ? args[0] : ValueRecord::Omit();
  char* out = nullptr;
  if (IsArray(v.type)) {
    const std::uint8_t* data;
    std::int32_t n;
    if (IsNumeric(ElementType(v.type)) && NumericArrayBytes(v, &data, &n)) out = TextOfBytes(data, n);
  } else {
    switch (v.type) {
      case kTypeByteSet: out = TextOfBytes(ByteSetData(v.Pointer()), std::max(ByteSetLength(v.Pointer()), 0)); break;
      case kTypeText: out = CopyText(v.AsText()); break;
      case kTypeByte: out = Formatted("%u", static_cast<unsigned>(v.value & 0xFF)); break;
      case kTypeShort: out = Formatted("%d", static_cast<int>(static_cast<std::int16_t>(v.value & 0xFFFF))); break;
      case kTypeInt: out = Formatted("%d", static_cast<int>(v.AsInt())); break;
      case kTypeLong: out = Formatted("%lld", static_cast<long long>(v.AsLong())); break;
      case kTypeFloat: out = Formatted("%.6g", static_cast<double>(v.AsFloat())); break;
      case kTypeDouble: out = Formatted("%.13g", v.AsDouble()); break;
      case kTypeBool: out = CopyText(v.value != 0 ? texts::kTrue : texts::kFalse); break;
      case kTypeDateTime: out = FormatDateTime(v.AsDouble()); break;
      default: break;  // subroutines, units, user records, none
    }
  }
  result->SetText(out);
}

void ToByteSet(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  const ValueRecord v = argc >= 1 ? args[0] : ValueRecord::Omit();
  std::uint8_t* out = nullptr;
  if (IsArray(v.type)) {
    const std::uint8_t* data;
    std::int32_t n;
    if (IsNumeric(ElementType(v.type)) && NumericArrayBytes(v, &data, &n)) out = MakeByteSet(data, n);
  } else if (ClassOf(v.type) == TypeClass::System) {
    int width = 0;
    switch (v.type) {
      case kTypeText: out = MakeByteSet(v.AsText(), TextLen(v.AsText())); break;
      case kTypeByteSet: out = MakeByteSet(ByteSetData(v.Pointer()), ByteSetLength(v.Pointer())); break;
      case kTypeByte: width = 1; break;
      case kTypeShort: width = 2; break;
      case kTypeInt:
      case kTypeFloat:
      case kTypeBool: width = 4; break;
      case kTypeLong:
      case kTypeDouble:
      case kTypeDateTime: width = 8; break;
      // A code address is as wide as a pointer of this build.
      case kTypeSubroutine: width = static_cast<int>(sizeof(void*)); break;
      default: break;
    }
    if (width > 0) {
      std::uint8_t bytes[8];
      const std::uint64_t w = v.Wide();
      for (int i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(w >> (8 * i));
      out = MakeByteSet(bytes, width);
    }
  }
  result->SetByteSet(out);
}

void TextLength(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  result->SetInt(TextLen(ArgText(args, argc, 0)));
}

void FindText(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  const char* text = ArgText(args, argc, 0);
  const char* sought = ArgText(args, argc, 1);
  const std::int32_t length = TextLen(text);
  const std::int32_t m = TextLen(sought);
  std::int64_t start = 0;
  if (ArgGiven(args, argc, 2)) start = std::max<std::int64_t>(static_cast<std::int64_t>(args[2].AsInt()) - 1, 0);
  const bool ignore_case = ArgGiven(args, argc, 3) && args[3].AsBool();
  const std::int64_t range = start < length ? length - start : 0;
  std::int32_t found;
  if (m == 0)
    found = range > 0 ? 1 : -1;
  else if (range < m)
    found = -1;
  else {
    std::int32_t q = FindBytes(text, length, static_cast<std::int32_t>(start), sought, m, ignore_case);
    found = q < 0 ? -1 : q + 1;
  }
  result->SetInt(found);
}

void MidText(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  const char* text = ArgText(args, argc, 0);
  const std::int64_t s = static_cast<std::int64_t>(ArgInt(args, argc, 1)) - 1;
  const std::int64_t count = ArgInt(args, argc, 2);
  const std::int64_t length = TextLen(text);
  char* out = nullptr;
  if (s >= 0 && s < length && count > 0) out = MakeText(text + s, static_cast<std::int32_t>(std::min(count, length - s)));
  result->SetText(out);
}

int CompareTexts(const char* a, const char* b) {
  if (!a) a = kEmptyText;
  if (!b) b = kEmptyText;
  const int c = std::strcmp(a, b);  // compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace bv

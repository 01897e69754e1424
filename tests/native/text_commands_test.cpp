// Text commands on GBK byte texts: conversion to text and to bytes, length,
// search, cutting and comparison. Runs under ASan/UBSan with leak checks, so
// every result a test receives is released.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "runtime/text_commands.h"
#include "runtime/value.h"
#include "tests/support/hex.h"
#include "tests/native/value_records.h"

namespace bv {
namespace {

using bvtest::Hex;
using namespace std::string_literals;
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

// Callers need not look at a result's type word, but every command sets it,
// for an empty result and for missing arguments too: these check it.
//
// A command's text result as bytes; null reads as "(null)" so that an
// allocated "" and null never look alike. Releases the result.
std::string Take(ValueRecord r) {
  EXPECT_EQ(r.type, kTypeText);
  char* t = r.AsText();
  std::string s = t ? std::string(t) : "(null)";
  EXPECT_TRUE(t == nullptr || *t != '\0') << "commands answer null, never an allocated empty text";
  Release(t);
  return s;
}
std::string TextOf(ValueRecord v) { return Take(Call(ToText, {v})); }

// A byte-set result as its bytes, "(null)" for null. Releases the result.
std::string TakeBytes(ValueRecord r) {
  EXPECT_EQ(r.type, kTypeByteSet);
  std::uint8_t* b = r.AsByteSet();
  if (!b) return "(null)";
  std::int32_t dims;
  std::memcpy(&dims, b, 4);
  EXPECT_EQ(dims, 1);
  std::string s(reinterpret_cast<const char*>(ByteSetData(b)), static_cast<std::size_t>(ByteSetLength(b)));
  Release(b);
  return s;
}
std::int32_t IntOf(ValueRecord r) {
  EXPECT_EQ(r.type, kTypeInt);
  return r.AsInt();
}

// An array block {int32 d, d int32 sizes, elements}; with one size and byte
// elements it is also a byte set.
std::vector<std::uint8_t> ArrayBytes(std::vector<std::int32_t> sizes, const void* elements, std::size_t n) {
  std::vector<std::uint8_t> block(4 + 4 * sizes.size() + n);
  std::int32_t d = static_cast<std::int32_t>(sizes.size());
  std::memcpy(block.data(), &d, 4);
  if (!sizes.empty()) std::memcpy(block.data() + 4, sizes.data(), 4 * sizes.size());
  if (n) std::memcpy(block.data() + 4 + 4 * sizes.size(), elements, n);
  return block;
}

// FindText with the start position and the ignore-case flag passed only when
// given ({} omits one; an omitted start before a given flag is an omitted record).
std::int32_t Find(const std::string& text, const std::string& sought, std::optional<std::int32_t> start = {},
                  std::optional<bool> fold = {}) {
  const ValueRecord args[] = {ValueRecord::TextOf(text.c_str()), ValueRecord::TextOf(sought.c_str()),
                              start ? ValueRecord::Int(*start) : ValueRecord::Omit(), ValueRecord::Bool(fold == true)};
  ValueRecord result{};
  FindText(&result, fold ? 4 : start ? 3 : 2, args);
  return IntOf(result);
}
struct FindCase {
  std::string text, sought;
  std::optional<std::int32_t> start;
  std::optional<bool> fold;
  std::int32_t expected;
};
void ExpectFinds(const std::vector<FindCase>& cases) {
  for (const FindCase& c : cases)
    EXPECT_EQ(Find(c.text, c.sought, c.start, c.fold), c.expected)
        << Hex(c.text.substr(0, 48)) << "(" << c.text.size() << " bytes), sought " << Hex(c.sought) << "from "
        << (c.start ? std::to_string(*c.start) : "-") << ", ignore case " << (c.fold ? std::to_string(*c.fold) : "-");
}

std::string Mid(const char* text, std::int32_t start, std::int32_t count) {
  return Take(Call(MidText, {ValueRecord::TextOf(text), ValueRecord::Int(start), ValueRecord::Int(count)}));
}

// ---- ToText and ToByteSet ----------------------------------------------------

// What each kind of value becomes as a text and as a byte set.
TEST(ToTextAndToByteSet, EveryKindOfValue) {
  const std::int16_t shorts[] = {0x6261, 0x0063, 0x6464};  // 'a' 'b' 'c' NUL 'd' 'd'
  const char* ab[] = {"ab"};
  const auto with_nul = ArrayBytes({4}, "ab\0c", 4);
  const auto nul_first = ArrayBytes({3}, "\0ab", 3);
  const auto one_byte = ArrayBytes({1}, "a", 1);
  const auto gbk = ArrayBytes({6}, "\xD6\xD0\xCE\xC4\r\n", 6);
  const auto two = ArrayBytes({2}, "abcdefghijklmnop", 16);  // two elements of any width
  const auto grid = ArrayBytes({2, 3}, "abcdef", 6);
  const auto short_array = ArrayBytes({3}, shorts, sizeof shorts);
  const auto empty = ArrayBytes({0}, nullptr, 0), negative = ArrayBytes({-1}, nullptr, 0);
  const auto no_dims = ArrayBytes({}, nullptr, 0), of_texts = ArrayBytes({1}, ab, sizeof ab);
  // More element bytes than a text can hold: refused before any is read.
  const auto too_long = ArrayBytes({kIntMax - 10}, "ab", 3);
  using bvtest::Array;
  const struct {
    ValueRecord v;
    std::string text, bytes;  // "(null)" for a null result
  } cases[] = {
      // Texts and byte sets; a text ends at the first NUL.
      {ValueRecord::TextOf("\xB0\xA1z"), "\xB0\xA1z", "\xB0\xA1z"},
      {ValueRecord::TextOf(kEmptyText), "(null)", "(null)"},
      {ValueRecord::ByteSetOf(with_nul.data()), "ab", "ab\0c"s},
      {ValueRecord::ByteSetOf(one_byte.data()), "a", "a"},
      {ValueRecord::ByteSetOf(nul_first.data()), "(null)", "\0ab"s},
      {ValueRecord::ByteSetOf(gbk.data()), "\xD6\xD0\xCE\xC4\r\n", "\xD6\xD0\xCE\xC4\r\n"},
      {ValueRecord::ByteSetOf(kEmptyByteSet), "(null)", "(null)"},
      {ValueRecord::ByteSetOf(nullptr), "(null)", "(null)"},
      // Numeric arrays: every element at its width, in storage order.
      {Array(kTypeByte, two.data()), "ab", "ab"},
      {Array(kTypeShort, two.data()), "abcd", "abcd"},
      {Array(kTypeInt, two.data()), "abcdefgh", "abcdefgh"},
      {Array(kTypeFloat, two.data()), "abcdefgh", "abcdefgh"},
      {Array(kTypeLong, two.data()), "abcdefghijklmnop", "abcdefghijklmnop"},
      {Array(kTypeDouble, two.data()), "abcdefghijklmnop", "abcdefghijklmnop"},
      {Array(kTypeByte, grid.data()), "abcdef", "abcdef"},
      {Array(kTypeShort, short_array.data()), "abc", "abc\0dd"s},
      {Array(kTypeInt, negative.data()), "(null)", "(null)"},
      {Array(kTypeInt, no_dims.data()), "(null)", "(null)"},
      {Array(kTypeByte, too_long.data()), "(null)", "(null)"},
      {Array(kTypeText, of_texts.data()), "(null)", "(null)"},
      {Array(kTypeBool, short_array.data()), "(null)", "(null)"},
      {Array(kTypeInt, empty.data()), "(null)", "(null)"},
      // Scalars: decimal text; little-endian bytes at the type's own width.
      {bvtest::Byte(200), "200", "\xC8"},
      {ValueRecord::Of(kTypeByte, 0xFFFFFF07), "7", "\x07"},  // only the low byte is a byte's value
      {ValueRecord::Of(kTypeShort, 0x0001FFFF), "-1", "\xFF\xFF"},  // only the low half is a short's value
      {bvtest::Short(-5), "-5", "\xFB\xFF"},
      {ValueRecord::Int(0x01020304), "16909060", "\x04\x03\x02\x01"},
      {ValueRecord::Int(kIntMin), "-2147483648", "\0\0\0\x80"s},
      {ValueRecord::Long(0x0102030405060708), "72623859790382856", "\x08\x07\x06\x05\x04\x03\x02\x01"},
      {ValueRecord::Long(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808", "\0\0\0\0\0\0\0\x80"s},
      // Six significant digits for a float, thirteen for a double.
      {bvtest::Float(0.1f), "0.1", "\xCD\xCC\xCC\x3D"},
      {bvtest::Float(1234567.0f), "1.23457e+06", "\x38\xB4\x96\x49"},
      {bvtest::Double(1.0 / 3), "0.3333333333333", "\x55\x55\x55\x55\x55\x55\xD5\x3F"},
      {bvtest::Double(2.5), "2.5", "\0\0\0\0\0\0\x04\x40"s},
      {bvtest::Double(1e20), "1e+20", "\x40\x8C\xB5\x78\x1D\xAF\x15\x44"},
      // A logical is true for any value but 0.
      {ValueRecord::Bool(true), "真", "\x01\0\0\0"s},
      {ValueRecord::Of(kTypeBool, 2), "真", "\x02\0\0\0"s},
      {ValueRecord::Bool(false), "假", "\0\0\0\0"s},
      {bvtest::DateTime(1.0), "1899年12月31日", "\0\0\0\0\0\0\xF0\x3F"s},
      // A code address has bytes as wide as a pointer, but no text; the rest neither.
      {ValueRecord::Of(kTypeSubroutine, 0x00401000), "(null)", std::string("\0\x10\x40\0\0\0\0\0", sizeof(void*))},
      {ValueRecord::Unit(1, 2, UnitTypeCode(0, 1)), "(null)", "(null)"},
      {ValueRecord::Of(0x40000001, 5), "(null)", "(null)"},
      {ValueRecord::Omit(), "(null)", "(null)"},
  };
  // Every conversion runs before any result is looked at, one right after the
  // other: a refused array must not come out as the bytes of the array before.
  constexpr std::size_t kRows = sizeof cases / sizeof cases[0];
  ValueRecord texts[kRows], bytes[kRows];
  for (std::size_t i = 0; i < kRows; ++i) ToText(&texts[i], 1, &cases[i].v);
  for (std::size_t i = 0; i < kRows; ++i) ToByteSet(&bytes[i], 1, &cases[i].v);
  for (std::size_t i = 0; i < kRows; ++i) {
    EXPECT_EQ(Take(texts[i]), cases[i].text) << "row " << i;
    EXPECT_EQ(Hex(TakeBytes(bytes[i])), Hex(cases[i].bytes)) << "row " << i;
  }
  EXPECT_EQ(Take(Call(ToText, {})), "(null)");
  EXPECT_EQ(TakeBytes(Call(ToByteSet, {})), "(null)");
}

TEST(ToText, DateTimeIsGregorianWithTheTimePartsThatAreNotZero) {
  const double h = 1.0 / 24, m = h / 60, s = m / 60;
  const struct {
    double days;
    const char* text;
  } cases[] = {
      {0.5, "1899年12月30日12时"},
      {2.0, "1900年1月1日"},
      {45000 + 13 * h + 5 * m, "2023年3月15日13时5分"},
      {45000 + 1 * h + 5 * s, "2023年3月15日1时0分5秒"},
      {45000 + 7 * m, "2023年3月15日0时7分"},
      {45000 + 23 * h + 59 * m + 59 * s, "2023年3月15日23时59分59秒"},
      // To the nearest second, also across the end of a day.
      {2 + 0.4 * s, "1900年1月1日"},
      {2 + 59.6 * s, "1900年1月1日0时1分"},
      {1.9999999, "1900年1月1日"},  // 23:59:59.99
      {-1.25, "1899年12月29日6时"},  // before day 0 the fraction is still the time of the day
      // Month ends and leap days; 1900 is no leap year.
      {32, "1900年1月31日"},
      {60, "1900年2月28日"},
      {61, "1900年3月1日"},
      {336, "1900年12月1日"},
      {36585, "2000年2月29日"},
      {36586, "2000年3月1日"},
      // Clamped to the years 100 to 9999 before the time is split off.
      {1e9, "9999年12月31日"},
      {2958465.75, "9999年12月31日"},
      {-1e9, "100年1月1日"},
      {-INFINITY, "100年1月1日"},
      {std::nan(""), "1899年12月30日"},
  };
  for (const auto& c : cases) EXPECT_EQ(TextOf(bvtest::DateTime(c.days)), c.text) << c.days;
}

// ---- TextLength ----------------------------------------------------------------

TEST(TextLength, CountsBytesBeforeTheNul) {
  EXPECT_EQ(IntOf(Call(TextLength, {ValueRecord::TextOf("\xD6\xD0\xCE\xC4")})), 4) << "two GBK characters";
  EXPECT_EQ(IntOf(Call(TextLength, {ValueRecord::TextOf(kEmptyText)})), 0);
  EXPECT_EQ(IntOf(Call(TextLength, {ValueRecord::TextOf(nullptr)})), 0);
  EXPECT_EQ(IntOf(Call(TextLength, {})), 0);
}

// ---- FindText --------------------------------------------------------------------

TEST(FindText, StartPositionAndRange) {
  ExpectFinds({
      {"abcabc", "c", {}, {}, 3},
      {"abcabc", "c", 4, {}, 6},
      {"abcabc", "c", 6, {}, 6},
      {"abcabc", "c", 7, {}, -1},
      {"abcabc", "c", 0, {}, 3},
      {"abcabc", "c", -3, {}, 3},
      {"abcabc", "c", kIntMin, {}, 3},
      {"abcabc", "c", kIntMax, {}, -1},
      {"abc", "abcd", {}, {}, -1},  // longer than the text
      {"abcabc", "bc", 6, {}, -1},  // longer than the rest of the range
      {"abc", "", {}, {}, 1},  // an empty sought text is at 1 while the range is not empty,
      {"abc", "", 3, {}, 1},  // whatever the start
      {"abc", "", 4, {}, -1},
      {"abc", "", 9, {}, -1},
      {"", "", {}, {}, -1},
      {"", "a", {}, {}, -1},
  });
  EXPECT_EQ(IntOf(Call(FindText, {ValueRecord::TextOf(nullptr), ValueRecord::TextOf(nullptr)})), -1);
  EXPECT_EQ(IntOf(Call(FindText, {})), -1);
}

// The letters A to Z equal a to z, on both sides and in trail bytes too; no
// other byte is folded, not even the neighbours of the letter ranges.
TEST(FindText, IgnoreCaseFoldsOnlyAsciiLetters) {
  ExpectFinds({
      {"Version", "VERSION", {}, true, 1},
      {"Version", "VERSION", {}, {}, -1},
      {"Version", "VERSION", 1, false, -1},  // given as false
      {"xversion", "VeRsIoN", 1, true, 2},
      {"LAZY", "lazy", 1, true, 1},
      {"@[\\]^_", "`{|}~\x7F", 1, true, -1},
      {"`{|}~", "@[\\]^", 1, true, -1},
      {"\xC1\xC1", "\xE1\xE1", 1, true, -1},
      {"x\xB0\x41", "\xB0\x61", 1, true, 2},  // 0xB0 0x41 and 0xB0 0x61 differ as characters, not here
      {"x\xB0\x41", "\xB0\x61", 1, {}, -1},
      {"xbc", "abc", 1, true, -1},  // all but the first byte agree
      {"xbc", "abc", 1, {}, -1},
  });
}

TEST(FindText, MatchesStartOnACharacter) {
  const std::string odd = "a" + std::string(41, '\xB0') + "b", even = "a" + std::string(40, '\xB0') + "b";
  // Candidates on trail bytes across the wide scan's 32-byte blocks, one of
  // them on the first byte of a block, before the real match at the end.
  std::string pairs = "x";
  for (int i = 0; i < 100; ++i) pairs += "\xB0" "b";
  pairs += "b";
  const std::string page =
      std::string(5000, 'x') + "\xB0" + pairs + "\xC4\xE3<div id=\"setNum\" data-num=\"14.3\" data-link=";
  ExpectFinds({
      {"\xB0\x62\x62", "b", {}, {}, 3},  // the first b is the trail of 0xB0
      {"\xB0\x42\x62", "B", 1, true, 3},
      {"\xB0\x62", "b", {}, {}, -1},
      {"\x80\x62\x62", "b", {}, {}, 3},  // every byte from 0x80 up leads,
      {"\x7F\x62", "b", {}, {}, 2},  // no byte below it
      {"\xB0\xC1\xC1\xC2", "\xC1", {}, {}, 3},  // after a trail byte from 0x80 up
      {"\xB0\x62\x62", "b", 2, {}, 2},  // a start inside a character reads its trail as a byte of its own
      {odd, "b", {}, {}, -1},  // the b pairs with the 41st 0xB0
      {odd, "b", 3, {}, 43},  // from the 2nd 0xB0 the b stands alone
      {even, "b", {}, {}, 42},
      {odd, "\xB0\xB0", {}, {}, 2},
      {odd, "\xB0\x62", {}, {}, 42},
      {"ab\xB0", "x", {}, {}, -1},  // a lead byte at the end
      {"ab\xB0", "\xB0", {}, {}, 3},
      {"\xB0", "\xB0", {}, {}, 1},
      {pairs, "b", {}, {}, 202},
      {pairs, "bb", {}, {}, -1},
      {std::string(32, 'x') + "ab", "ab", {}, {}, 33},  // the first offset after a whole block
      {page, "<DIV ID=\"SETNUM\" data-num=\"", {}, true, 5000 + 1 + 202 + 2 + 1},
      {page, "\" data-link=", 5210, true, static_cast<std::int32_t>(page.size()) - 11},
  });
}

// Called with lengths of its own, the search answers -1 for a start before the
// text or nothing sought, and no match takes in the NUL after the text.
TEST(FindBytes, AMatchLiesInsideTheRange) {
  const std::string text = std::string(31, 'x') + "ab";
  EXPECT_EQ(FindBytes(text.c_str(), 33, -1, "x", 1, false), -1);
  EXPECT_EQ(FindBytes(text.c_str(), 33, 0, "", 0, false), -1);
  EXPECT_EQ(FindBytes(text.c_str(), 33, 0, "ab\0", 3, false), -1);
}

// ---- MidText -----------------------------------------------------------------------

TEST(MidText, CutsBytesAndClampsTheCountToTheText) {
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
  EXPECT_EQ(Mid("abcdef", 1, kIntMax), "abcdef");
  EXPECT_EQ(Mid("abcdef", 6, 1), "f");
  EXPECT_EQ(Mid("abcdef", 7, 1), "(null)");
  EXPECT_EQ(Mid("abcdef", 0, 2), "(null)");
  EXPECT_EQ(Mid("abcdef", kIntMin, 2), "(null)");
  EXPECT_EQ(Mid("abcdef", 2, 0), "(null)");
  EXPECT_EQ(Mid("abcdef", 2, -1), "(null)");
  EXPECT_EQ(Mid(nullptr, 1, 1), "(null)");
  // Omitted arguments count as 0, which cuts nothing.
  EXPECT_EQ(Take(Call(MidText, {})), "(null)");
  EXPECT_EQ(Take(Call(MidText, {ValueRecord::TextOf("ab")})), "(null)");
  EXPECT_EQ(Take(Call(MidText, {ValueRecord::TextOf("ab"), ValueRecord::Int(1)})), "(null)");
  EXPECT_EQ(Mid("\xD6\xD0\xCE\xC4", 2, 2), "\xD0\xCE") << "a double-byte character may be split";
}

// ---- CompareTexts ------------------------------------------------------------------

TEST(CompareTexts, NullEqualsEmptyAndBytesCompareUnsigned) {
  EXPECT_EQ(CompareTexts(nullptr, kEmptyText), 0);
  EXPECT_EQ(CompareTexts(kEmptyText, nullptr), 0);
  EXPECT_EQ(CompareTexts(nullptr, nullptr), 0);
  EXPECT_EQ(CompareTexts(nullptr, "a"), -1);
  EXPECT_EQ(CompareTexts("a", nullptr), 1);
  EXPECT_EQ(CompareTexts("ab", "abc"), -1);
  EXPECT_EQ(CompareTexts("abc", "ab"), 1);
  EXPECT_EQ(CompareTexts("b", "a"), 1);
  EXPECT_EQ(CompareTexts("\xB0\xA1", "a"), 1);
  EXPECT_EQ(CompareTexts("14.3", "14.3"), 0);
  EXPECT_EQ(CompareTexts("Abc", "abc"), -1) << "case counts";
}

}  // namespace
}  // namespace bv

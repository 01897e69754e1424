// Text commands on GBK byte texts: conversion to text and to bytes, length,
// search, cutting and comparison. Runs under ASan/UBSan with leak checks, so
// every result a test receives is released.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "runtime/text_commands.h"
#include "runtime/value.h"
#include "tests/support/hex.h"
#include "tests/native/value_records.h"

namespace bv {
namespace {

using bvtest::Hex;

// A command's text result as bytes; null reads as "(null)" so that an
// allocated "" and null never look alike. Releases the result.
std::string Take(ValueRecord r) {
  char* t = r.AsText();
  std::string s = t ? std::string(t) : "(null)";
  EXPECT_TRUE(t == nullptr || *t != '\0') << "commands answer null, never an allocated empty text";
  Release(t);
  return s;
}
std::string TextOf(ValueRecord v) { return Take(Call(ToText, {v})); }

// A byte-set result as its bytes, "(null)" for null. Releases the result.
std::string TakeBytes(ValueRecord r) {
  std::uint8_t* b = r.AsByteSet();
  if (!b) return "(null)";
  std::int32_t dims;
  std::memcpy(&dims, b, 4);
  EXPECT_EQ(dims, 1);
  std::string s(reinterpret_cast<const char*>(ByteSetData(b)), static_cast<std::size_t>(ByteSetLength(b)));
  Release(b);
  return s;
}
std::string BytesOf(ValueRecord v) { return TakeBytes(Call(ToByteSet, {v})); }

// An array block {int32 d, d int32 sizes, elements}.
std::vector<std::uint8_t> ArrayBytes(std::vector<std::int32_t> sizes, const void* elements, std::size_t n) {
  std::vector<std::uint8_t> block(4 + 4 * sizes.size() + n);
  std::int32_t d = static_cast<std::int32_t>(sizes.size());
  std::memcpy(block.data(), &d, 4);
  if (!sizes.empty()) std::memcpy(block.data() + 4, sizes.data(), 4 * sizes.size());
  if (n) std::memcpy(block.data() + 4 + 4 * sizes.size(), elements, n);
  return block;
}

std::uint8_t* ByteSet(const std::string& bytes) {
  return MakeByteSet(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

std::int32_t Find(const char* text, const char* sought) {
  return Call(FindText, {ValueRecord::TextOf(text), ValueRecord::TextOf(sought)}).AsInt();
}
std::int32_t Find(const char* text, const char* sought, std::int32_t start) {
  return Call(FindText, {ValueRecord::TextOf(text), ValueRecord::TextOf(sought), ValueRecord::Int(start)}).AsInt();
}
std::int32_t FindFolded(const char* text, const char* sought, std::int32_t start = 1) {
  return Call(FindText, {ValueRecord::TextOf(text), ValueRecord::TextOf(sought), ValueRecord::Int(start),
                         ValueRecord::Bool(true)})
      .AsInt();
}
std::string Mid(const char* text, std::int32_t start, std::int32_t count) {
  return Take(Call(MidText, {ValueRecord::TextOf(text), ValueRecord::Int(start), ValueRecord::Int(count)}));
}

// ---- ToText ------------------------------------------------------------------

TEST(ToText, ByteSetStopsAtFirstNulOrAtItsLength) {
  std::uint8_t* with_nul = ByteSet(std::string("ab\0c", 4));
  std::uint8_t* plain = ByteSet("ab");
  std::uint8_t* nul_first = ByteSet(std::string("\0ab", 3));
  EXPECT_EQ(TextOf(ValueRecord::ByteSetOf(with_nul)), "ab");
  EXPECT_EQ(TextOf(ValueRecord::ByteSetOf(plain)), "ab");
  EXPECT_EQ(TextOf(ValueRecord::ByteSetOf(nul_first)), "(null)");
  EXPECT_EQ(TextOf(ValueRecord::ByteSetOf(kEmptyByteSet)), "(null)");
  EXPECT_EQ(TextOf(ValueRecord::ByteSetOf(nullptr)), "(null)");
  Release(with_nul);
  Release(plain);
  Release(nul_first);
}

TEST(ToText, GbkBytesOfAByteSetComeThroughUnchanged) {
  std::uint8_t* b = ByteSet("\xD6\xD0\xCE\xC4\r\n");
  std::string t = TextOf(ValueRecord::ByteSetOf(b));
  EXPECT_EQ(t, "\xD6\xD0\xCE\xC4\r\n") << Hex(t);
  Release(b);
}

TEST(ToText, NumericArraysAreReadAsTheirElementBytes) {
  const std::int16_t shorts[] = {0x6261, 0x0063, 0x6464};  // 'a' 'b' 'c' NUL 'd' 'd'
  auto one = ArrayBytes({3}, shorts, sizeof shorts);
  EXPECT_EQ(TextOf(bvtest::Array(kTypeShort, one.data())), "abc");
  const char grid[] = "abcdef";
  // Two dimensions: every element in storage order.
  auto two = ArrayBytes({2, 3}, grid, 6);
  EXPECT_EQ(TextOf(bvtest::Array(kTypeByte, two.data())), "abcdef");
  auto empty = ArrayBytes({0}, nullptr, 0);
  EXPECT_EQ(TextOf(bvtest::Array(kTypeInt, empty.data())), "(null)");
  auto negative = ArrayBytes({-1}, nullptr, 0);
  EXPECT_EQ(TextOf(bvtest::Array(kTypeInt, negative.data())), "(null)");
  auto no_dims = ArrayBytes({}, nullptr, 0);
  EXPECT_EQ(TextOf(bvtest::Array(kTypeInt, no_dims.data())), "(null)");
  // Arrays of texts, byte sets or logicals are not turned into text.
  const char* texts[] = {"ab"};
  auto of_texts = ArrayBytes({1}, texts, sizeof texts);
  EXPECT_EQ(TextOf(bvtest::Array(kTypeText, of_texts.data())), "(null)");
  EXPECT_EQ(TextOf(bvtest::Array(kTypeBool, one.data())), "(null)");
}

TEST(ToText, TextIsANewCopyAndEmptyTextIsNull) {
  const char* lit = "abc";
  char* copy = Call(ToText, {ValueRecord::TextOf(lit)}).AsText();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, lit);
  EXPECT_STREQ(copy, "abc");
  Release(copy);
  EXPECT_EQ(TextOf(ValueRecord::TextOf(kEmptyText)), "(null)");
}

TEST(ToText, IntegersUseTheirOwnWidthAndSign) {
  EXPECT_EQ(TextOf(bvtest::Byte(200)), "200");
  EXPECT_EQ(TextOf(ValueRecord::Of(kTypeByte, 0xFFFFFF07)), "7") << "only the low byte is a byte's value";
  EXPECT_EQ(TextOf(bvtest::Short(-5)), "-5");
  EXPECT_EQ(TextOf(ValueRecord::Of(kTypeShort, 0x0001FFFF)), "-1") << "only the low half is a short's value";
  EXPECT_EQ(TextOf(ValueRecord::Int(-5)), "-5");
  EXPECT_EQ(TextOf(ValueRecord::Int(std::numeric_limits<std::int32_t>::min())), "-2147483648");
  EXPECT_EQ(TextOf(ValueRecord::Long(-5000000000LL)), "-5000000000");
  EXPECT_EQ(TextOf(ValueRecord::Long(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
}

TEST(ToText, FloatsUseSixAndDoublesThirteenSignificantDigits) {
  EXPECT_EQ(TextOf(bvtest::Float(0.1f)), "0.1");
  EXPECT_EQ(TextOf(bvtest::Float(1234567.0f)), "1.23457e+06");
  EXPECT_EQ(TextOf(bvtest::Double(1.0 / 3)), "0.3333333333333");
  EXPECT_EQ(TextOf(bvtest::Double(2.5)), "2.5");
  EXPECT_EQ(TextOf(bvtest::Double(1e20)), "1e+20");
}

TEST(ToText, LogicalIsTrueForAnyNonzeroValue) {
  EXPECT_EQ(TextOf(ValueRecord::Bool(true)), "真");
  EXPECT_EQ(TextOf(ValueRecord::Of(kTypeBool, 2)), "真");
  EXPECT_EQ(TextOf(ValueRecord::Bool(false)), "假");
}

TEST(ToText, DateTimeShowsOnlyTheTimePartsThatAreNotZero) {
  EXPECT_EQ(TextOf(bvtest::DateTime(0.5)), "1899年12月30日12时");
  EXPECT_EQ(TextOf(bvtest::DateTime(2.0)), "1900年1月1日");
  const double h = 1.0 / 24, m = h / 60, s = m / 60;
  EXPECT_EQ(TextOf(bvtest::DateTime(45000 + 13 * h + 5 * m)), "2023年3月15日13时5分");
  EXPECT_EQ(TextOf(bvtest::DateTime(45000 + 1 * h + 5 * s)), "2023年3月15日1时0分5秒");
  EXPECT_EQ(TextOf(bvtest::DateTime(45000 + 7 * m)), "2023年3月15日0时7分");
}

TEST(ToText, DateTimeRoundsToTheNearestSecondAcrossDayEnds) {
  const double s = 1.0 / 86400;
  EXPECT_EQ(TextOf(bvtest::DateTime(2 + 0.4 * s)), "1900年1月1日");
  EXPECT_EQ(TextOf(bvtest::DateTime(2 + 59.6 * s)), "1900年1月1日0时1分");
  EXPECT_EQ(TextOf(bvtest::DateTime(1.9999999)), "1900年1月1日") << "23:59:59.99 rounds into the next day";
  EXPECT_EQ(TextOf(bvtest::DateTime(-1.25)), "1899年12月29日6时")
      << "before day 0 the fraction is still the time of the day";
}

TEST(ToText, DateTimeIsGregorianAndClampedToYears100To9999) {
  EXPECT_EQ(TextOf(bvtest::DateTime(60)), "1900年2月28日");
  EXPECT_EQ(TextOf(bvtest::DateTime(61)), "1900年3月1日") << "1900 is no leap year";
  EXPECT_EQ(TextOf(bvtest::DateTime(36585)), "2000年2月29日");
  EXPECT_EQ(TextOf(bvtest::DateTime(1e9)), "9999年12月31日");
  EXPECT_EQ(TextOf(bvtest::DateTime(2958465.75)), "9999年12月31日") << "clamped before the time is split off";
  EXPECT_EQ(TextOf(bvtest::DateTime(-1e9)), "100年1月1日");
  EXPECT_EQ(TextOf(bvtest::DateTime(std::nan(""))), "1899年12月30日");
  EXPECT_EQ(TextOf(bvtest::DateTime(-INFINITY)), "100年1月1日");
}

TEST(ToText, OtherTypesGiveNull) {
  EXPECT_EQ(TextOf(ValueRecord::Unit(1, 2, UnitTypeCode(0, 1))), "(null)");
  EXPECT_EQ(TextOf(ValueRecord::Of(kTypeSubroutine, 0x401000)), "(null)");
  EXPECT_EQ(TextOf(ValueRecord::Of(0x40000001, 5)), "(null)");
  EXPECT_EQ(TextOf(ValueRecord::Omit()), "(null)");
  EXPECT_EQ(Take(Call(ToText, {})), "(null)");
}

// ---- ToByteSet ---------------------------------------------------------------

TEST(ToByteSet, TextGivesItsBytesWithoutTheNul) {
  EXPECT_EQ(BytesOf(ValueRecord::TextOf("ab")), "ab");
  EXPECT_EQ(BytesOf(ValueRecord::TextOf("\xB0\xA1z")), "\xB0\xA1z");
  EXPECT_EQ(BytesOf(ValueRecord::TextOf(kEmptyText)), "(null)");
}

TEST(ToByteSet, ByteSetIsCopiedWithItsNuls) {
  std::uint8_t* b = ByteSet(std::string("A\0B", 3));
  std::uint8_t* copy = Call(ToByteSet, {ValueRecord::ByteSetOf(b)}).AsByteSet();
  EXPECT_NE(copy, b);
  EXPECT_EQ(TakeBytes(ValueRecord::ByteSetOf(copy)), std::string("A\0B", 3));
  Release(b);
  EXPECT_EQ(BytesOf(ValueRecord::ByteSetOf(kEmptyByteSet)), "(null)");
}

TEST(ToByteSet, ScalarsGiveTheirLittleEndianBytesAtTheirWidth) {
  EXPECT_EQ(BytesOf(ValueRecord::Of(kTypeByte, 0x1234)), "\x34");
  EXPECT_EQ(BytesOf(bvtest::Short(0x0102)), "\x02\x01");
  EXPECT_EQ(BytesOf(ValueRecord::Int(0x01020304)), "\x04\x03\x02\x01");
  EXPECT_EQ(BytesOf(ValueRecord::Bool(true)), std::string("\x01\0\0\0", 4));
  EXPECT_EQ(BytesOf(ValueRecord::Long(0x0102030405060708LL)), "\x08\x07\x06\x05\x04\x03\x02\x01");
  EXPECT_EQ(BytesOf(bvtest::Float(1.0f)), std::string("\0\0\x80\x3F", 4));
  EXPECT_EQ(BytesOf(bvtest::Double(1.0)), std::string("\0\0\0\0\0\0\xF0\x3F", 8));
  EXPECT_EQ(BytesOf(bvtest::DateTime(1.0)), std::string("\0\0\0\0\0\0\xF0\x3F", 8));
  ValueRecord sub = ValueRecord::Of(kTypeSubroutine, 0x00401000);
  EXPECT_EQ(BytesOf(sub).size(), sizeof(void*)) << "a code address is as wide as a pointer";
}

TEST(ToByteSet, NumericArraysGiveAllElementBytesOtherArraysAndTypesNull) {
  const std::int32_t ints[] = {1, 0x41424344};
  auto block = ArrayBytes({2}, ints, sizeof ints);
  EXPECT_EQ(BytesOf(bvtest::Array(kTypeInt, block.data())), std::string("\1\0\0\0DCBA", 8));
  auto grid = ArrayBytes({2, 1}, ints, sizeof ints);
  EXPECT_EQ(BytesOf(bvtest::Array(kTypeInt, grid.data())), std::string("\1\0\0\0DCBA", 8));
  EXPECT_EQ(BytesOf(bvtest::Array(kTypeText, block.data())), "(null)");
  EXPECT_EQ(BytesOf(ValueRecord::Unit(1, 2, UnitTypeCode(1, 1))), "(null)");
  EXPECT_EQ(BytesOf(ValueRecord::Of(0x40000001, 5)), "(null)");
  EXPECT_EQ(BytesOf(ValueRecord::Omit()), "(null)");
}

// ---- Every command ---------------------------------------------------------------

// Callers need not look at a result's type word, but every command sets it:
// for an empty result and for missing arguments too.
TEST(TextCommands, EveryCommandSetsTheTypeWordOfItsResult) {
  struct Case {
    const char* name;
    Command command;
    std::vector<ValueRecord> args;
    TypeCode type;
  };
  const ValueRecord abc = ValueRecord::TextOf("abc");
  const Case cases[] = {
      {"ToText", ToText, {}, kTypeText},
      {"ToText", ToText, {ValueRecord::Int(5)}, kTypeText},
      {"ToText", ToText, {ValueRecord::Unit(1, 2, UnitTypeCode(1, 1))}, kTypeText},
      {"ToByteSet", ToByteSet, {}, kTypeByteSet},
      {"ToByteSet", ToByteSet, {abc}, kTypeByteSet},
      {"ToByteSet", ToByteSet, {ValueRecord::TextOf(kEmptyText)}, kTypeByteSet},
      {"TextLength", TextLength, {}, kTypeInt},
      {"TextLength", TextLength, {abc}, kTypeInt},
      {"FindText", FindText, {}, kTypeInt},
      {"FindText", FindText, {abc, ValueRecord::TextOf("c")}, kTypeInt},
      {"MidText", MidText, {}, kTypeText},
      {"MidText", MidText, {abc, ValueRecord::Int(2), ValueRecord::Int(1)}, kTypeText},
      {"MidText", MidText, {abc, ValueRecord::Int(9), ValueRecord::Int(1)}, kTypeText},
  };
  for (const Case& c : cases) {
    ValueRecord result{};
    c.command(&result, static_cast<std::int32_t>(c.args.size()), c.args.data());
    EXPECT_EQ(result.type, c.type) << c.name << " with " << c.args.size() << " arguments: type word 0x" << std::hex
                                   << result.type;
    if (result.type == kTypeText || result.type == kTypeByteSet) Release(result.Pointer());
  }
}

// ---- TextLength ----------------------------------------------------------------

TEST(TextLength, CountsBytesBeforeTheNul) {
  EXPECT_EQ(Call(TextLength, {ValueRecord::TextOf("\xD6\xD0\xCE\xC4")}).AsInt(), 4) << "two GBK characters";
  EXPECT_EQ(Call(TextLength, {ValueRecord::TextOf(kEmptyText)}).AsInt(), 0);
  EXPECT_EQ(Call(TextLength, {ValueRecord::TextOf(nullptr)}).AsInt(), 0);
}

// ---- FindText --------------------------------------------------------------------

TEST(FindText, StartPositionRules) {
  EXPECT_EQ(Find("abcabc", "c"), 3);
  EXPECT_EQ(Find("abcabc", "c", 4), 6);
  EXPECT_EQ(Find("abcabc", "c", 6), 6);
  EXPECT_EQ(Find("abcabc", "c", 7), -1);
  EXPECT_EQ(Find("abcabc", "c", 0), 3);
  EXPECT_EQ(Find("abcabc", "c", -3), 3);
  EXPECT_EQ(Find("abcabc", "c", std::numeric_limits<std::int32_t>::min()), 3);
  EXPECT_EQ(Find("abcabc", "c", std::numeric_limits<std::int32_t>::max()), -1);
  EXPECT_EQ(Find("abc", "abcd"), -1) << "longer than the text";
  EXPECT_EQ(Find("abcabc", "bc", 6), -1) << "longer than the rest of the range";
}

TEST(FindText, EmptySoughtTextIsAtOneWhileTheRangeIsNotEmpty) {
  EXPECT_EQ(Find("abc", ""), 1);
  EXPECT_EQ(Find("abc", "", 3), 1) << "position 1 whatever the start";
  EXPECT_EQ(Find("abc", "", 4), -1);
  EXPECT_EQ(Find("abc", "", 9), -1);
  EXPECT_EQ(Find("", ""), -1);
  EXPECT_EQ(Find(nullptr, nullptr), -1);
  EXPECT_EQ(Find("", "a"), -1);
}

TEST(FindText, IgnoreCaseFoldsOnlyAsciiLettersOnBothSides) {
  EXPECT_EQ(FindFolded("Version", "VERSION"), 1);
  EXPECT_EQ(Find("Version", "VERSION"), -1) << "ignore case omitted";
  EXPECT_EQ(Call(FindText, {ValueRecord::TextOf("Version"), ValueRecord::TextOf("VERSION"), ValueRecord::Omit(),
                            ValueRecord::Bool(false)})
                .AsInt(),
            -1);
  EXPECT_EQ(FindFolded("xversion", "VeRsIoN"), 2);
  // Neighbours of the letter ranges differ by 0x20 too but are not letters.
  EXPECT_EQ(FindFolded("@[\\]^_", "`{|}~\x7F"), -1);
  EXPECT_EQ(FindFolded("`{|}~", "@[\\]^"), -1);
  // Bytes above 0x7F are never folded.
  EXPECT_EQ(FindFolded("\xC1\xC1", "\xE1\xE1"), -1);
}

TEST(FindText, IgnoreCaseFoldsTrailBytesToo) {
  // 0xB0 0x41 and 0xB0 0x61 are different characters, yet the fold applies to
  // every byte compared.
  EXPECT_EQ(FindFolded("x\xB0\x41", "\xB0\x61"), 2);
  EXPECT_EQ(Find("x\xB0\x41", "\xB0\x61"), -1);
}

TEST(FindText, NeverStartsOnATrailByte) {
  EXPECT_EQ(Find("\xB0\x62\x62", "b"), 3) << "the first b is the trail of 0xB0";
  EXPECT_EQ(FindFolded("\xB0\x42\x62", "B"), 3);
  EXPECT_EQ(Find("\xB0\x62", "b"), -1);
  // A range start inside a character steps from there: the trail is then
  // read as a byte of its own.
  EXPECT_EQ(Find("\xB0\x62\x62", "b", 2), 2);
  // A long run of lead bytes: parity decides which bytes are trails.
  std::string odd = "a" + std::string(41, '\xB0') + "b";
  EXPECT_EQ(Find(odd.c_str(), "b"), -1) << "the b pairs with the 41st 0xB0";
  EXPECT_EQ(Find(odd.c_str(), "b", 3), 43) << "from the 2nd 0xB0 the b stands alone";
  std::string even = "a" + std::string(40, '\xB0') + "b";
  EXPECT_EQ(Find(even.c_str(), "b"), 42);
  EXPECT_EQ(Find(odd.c_str(), "\xB0\xB0"), 2);
  EXPECT_EQ(Find(odd.c_str(), "\xB0\x62"), 42);
}

TEST(FindText, TrailBytesAreSkippedAcrossLongTexts) {
  // Candidates on trail bytes across the wide scan's blocks, then a real one.
  std::string text;
  for (int i = 0; i < 100; ++i) text += "\xB0" "b";
  text += "b";
  EXPECT_EQ(Find(text.c_str(), "b"), 201) << Hex(text.substr(195));
  EXPECT_EQ(Find(text.c_str(), "bb"), -1) << "no bb starts on a character";
  text += "\xC4\xE3<div id=\"setNum\" data-num=\"";
  std::string page = std::string(5000, 'x') + "\xB0" + text + "14.3\" data-link=";
  EXPECT_EQ(FindFolded(page.c_str(), "<DIV ID=\"SETNUM\" DATA-NUM=\""), 5000 + 1 + 201 + 2 + 1);
  EXPECT_EQ(FindFolded(page.c_str(), "\" data-link=", 5210), static_cast<std::int32_t>(page.size()) - 11);
}

TEST(FindText, LeadByteAtTheEndEndsTheSearch) {
  EXPECT_EQ(Find("ab\xB0", "x"), -1);
  EXPECT_EQ(Find("ab\xB0", "\xB0"), 3) << "the lead byte itself is still compared";
  EXPECT_EQ(Find("\xB0", "\xB0"), 1);
}

// ---- MidText -----------------------------------------------------------------------

TEST(MidText, CutsBytesAndClampsTheCountToTheText) {
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
  EXPECT_EQ(Mid("abcdef", 1, std::numeric_limits<std::int32_t>::max()), "abcdef");
  EXPECT_EQ(Mid("abcdef", 6, 1), "f");
  EXPECT_EQ(Mid("abcdef", 7, 1), "(null)");
  EXPECT_EQ(Mid("abcdef", 0, 2), "(null)");
  EXPECT_EQ(Mid("abcdef", std::numeric_limits<std::int32_t>::min(), 2), "(null)");
  EXPECT_EQ(Mid("abcdef", 2, 0), "(null)");
  EXPECT_EQ(Mid("abcdef", 2, -1), "(null)");
  EXPECT_EQ(Mid(nullptr, 1, 1), "(null)");
}

TEST(MidText, MaySplitADoubleByteCharacter) {
  std::string t = Mid("\xD6\xD0\xCE\xC4", 2, 2);
  EXPECT_EQ(t, "\xD0\xCE") << Hex(t);
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

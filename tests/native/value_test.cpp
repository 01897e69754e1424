// Values, texts, byte sets and the allocator, run under ASan/UBSan with leak
// checks in the native test build: every allocation a test makes is released.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/posix/heap_seam.h"
#include "runtime/service.h"
#include "runtime/value.h"

namespace bv {
namespace {

std::string Bytes(const void* p, std::size_t n) { return std::string(static_cast<const char*>(p), n); }

TEST(ValueRecord, IsThreeWordsAndRoundTripsWideValues) {
  static_assert(sizeof(ValueRecord) == 12);
  ValueRecord l = ValueRecord::Long(-5000000000LL);
  EXPECT_EQ(l.AsLong(), -5000000000LL);
  EXPECT_EQ(l.value, static_cast<std::uint32_t>(-5000000000LL & 0xFFFFFFFF));
  const char* lit = "abc";
  EXPECT_EQ(ValueRecord::TextOf(lit).AsText(), lit);
  EXPECT_TRUE(ValueRecord::Omit().Omitted());
}

// A result setter that left a word of an earlier value behind would hand the
// caller a cut-off or foreign pointer on a 64-bit build.
TEST(ValueRecord, ResultSettersWriteAllThreeWords) {
  const ValueRecord stale{0xDEADBEEF, 0xFEEDFACE, kTypeDouble};
  ValueRecord r = stale;
  r.SetInt(-2);
  EXPECT_EQ(r.value, 0xFFFFFFFEu);
  EXPECT_EQ(r.high, 0u);
  EXPECT_EQ(r.type, kTypeInt);
  r = stale;
  r.SetBool(true);
  EXPECT_EQ(r.value, 1u) << "true is written as 1";
  EXPECT_EQ(r.high, 0u);
  EXPECT_EQ(r.type, kTypeBool);
  const char* lit = "abc";
  r = stale;
  r.SetText(lit);
  EXPECT_EQ(r.AsText(), lit);
  EXPECT_EQ(r.type, kTypeText);
  r = stale;
  r.SetText(nullptr);
  EXPECT_EQ(r.AsText(), nullptr) << "high word 0x" << std::hex << r.high;
  EXPECT_EQ(r.type, kTypeText);
  r = stale;
  r.SetByteSet(kEmptyByteSet);
  EXPECT_EQ(static_cast<const void*>(r.AsByteSet()), static_cast<const void*>(kEmptyByteSet));
  EXPECT_EQ(r.type, kTypeByteSet);
}

TEST(TypeCodes, ClassesAndWidths) {
  EXPECT_EQ(ClassOf(kTypeNone), TypeClass::None);
  EXPECT_EQ(ClassOf(1), TypeClass::Unit);
  EXPECT_EQ(ClassOf(kTypeText), TypeClass::System);
  EXPECT_EQ(ClassOf(0x40000001), TypeClass::UserRecord);
  EXPECT_EQ(ClassOf(UnitTypeCode(1, 1)), TypeClass::Unit);
  EXPECT_EQ(UnitTypeCode(0, 1), 0x00010001u);
  EXPECT_EQ(UnitTypeCode(1, 1), 0x00020001u);
  EXPECT_TRUE(IsNumeric(kTypeDouble));
  EXPECT_FALSE(IsNumeric(kTypeBool));
  EXPECT_EQ(NumericWidth(kTypeShort), 2);
  EXPECT_EQ(ElementType(kTypeInt | kArrayFlag), kTypeInt);
}

TEST(JoinTexts, OfTwoNullsIsAnAllocatedEmptyText) {
  char* t = JoinTexts({nullptr, nullptr});
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(IsConstant(t));
  EXPECT_EQ(TextLen(t), 0);
  Release(t);
}

TEST(JoinTexts, ConcatenatesInOrderWithNullAsEmpty) {
  char* t = JoinTexts({"abc", nullptr, kEmptyText, "\xB0\xA1/x"});
  EXPECT_EQ(std::string(t), "abc\xB0\xA1/x");
  Release(t);
  const char* many[20];
  for (auto& m : many) m = "ab";
  t = JoinTexts(20, many);  // more parts than the inline length table holds
  EXPECT_EQ(TextLen(t), 40);
  Release(t);
}

TEST(Release, IgnoresNullAndConstants) {
  static const char literals[] = "literal\0other";
  RegisterConstantRange(literals, sizeof literals);
  Release(nullptr);
  Release(kEmptyText);
  Release(kEmptyByteSet);
  Release(literals);
  Release(literals + 8);
  EXPECT_TRUE(IsConstant(literals + 8));
  EXPECT_FALSE(IsConstant(literals + sizeof literals));
  static const char one = 'x';
  RegisterConstantRange(&one, 1);
  EXPECT_TRUE(IsConstant(&one));
}

// In a child of its own, since the table is the process's: empty ranges take
// no room, and once it is full later ranges are ignored and lookups stay inside it.
TEST(ConstantRangesDeathTest, TheTableTakesRangesUntilFull) {
  EXPECT_EXIT(
      {
        static char blocks[40][2];
        for (auto& b : blocks) RegisterConstantRange(b, 0);
        int registered = 0;
        for (auto& b : blocks) {
          RegisterConstantRange(b, 2);
          registered += IsConstant(b + 1);
        }
        bool prefix = true;
        for (int i = 0; i < 40; ++i) prefix = prefix && IsConstant(blocks[i]) == (i < registered);
        std::exit(registered > 0 && registered < 40 && prefix ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(MakeText, ZeroOrNegativeCountIsNullAndNulsAreCopied) {
  EXPECT_EQ(MakeText("x", 0), nullptr);
  EXPECT_EQ(MakeText("x", -1), nullptr);
  char* t = MakeText("a\0b", 3);
  EXPECT_EQ(Bytes(t, 4), std::string("a\0b\0", 4));
  Release(t);
  EXPECT_EQ(CopyText(kEmptyText), nullptr);
  EXPECT_EQ(CopyText(nullptr), nullptr);
}

TEST(MakeByteSet, LayoutAndNulAsData) {
  EXPECT_EQ(MakeByteSet("x", 0), nullptr);
  std::uint8_t* b = MakeByteSet("A\0B", 3);
  EXPECT_EQ(ByteSetLength(b), 3);
  EXPECT_EQ(Bytes(ByteSetData(b), 3), std::string("A\0B", 3));
  std::int32_t dims;
  std::memcpy(&dims, b, 4);
  EXPECT_EQ(dims, 1);
  Release(b);
  EXPECT_EQ(ByteSetLength(nullptr), 0);
  EXPECT_EQ(ByteSetLength(kEmptyByteSet), 0);
}

TEST(Allocate, ZeroBytesIsABlockToo) {
  void* p = Allocate(0);
  ASSERT_NE(p, nullptr);
  p = Reallocate(p, 0);
  ASSERT_NE(p, nullptr);
  Release(p);
}

TEST(Reallocate, ConstantGetsPrivateCopyOfWhatFits) {
  static const char block[] = "0123456789";
  RegisterConstantRange(block, sizeof block);
  auto p = static_cast<char*>(Reallocate(const_cast<char*>(block + 6), 32));
  EXPECT_EQ(Bytes(p, 5), std::string("6789\0", 5));
  p = static_cast<char*>(Reallocate(p, 4));
  EXPECT_EQ(Bytes(p, 4), "6789");
  Release(p);
}

std::intptr_t Sum(std::intptr_t a, std::intptr_t b) { return a + b; }

// Two bands of numbers: 0..99 for the program frame, 2000..2099 for the runtime.
TEST(Services, OnlyNumbersInTheTwoBandsTakeAService) {
  for (std::int32_t n : {0, 99, 2000, 2099}) {
    EXPECT_TRUE(RegisterService(n, Sum)) << n;
    EXPECT_EQ(RuntimeService(n, 40, 2), 42) << n;
    RegisterService(n, nullptr);
    EXPECT_EQ(RuntimeService(n, 40, 2), 0) << n << " answers 0 when empty";
  }
  for (std::int32_t n : {-1, 100, 1999, 2100}) {
    EXPECT_FALSE(RegisterService(n, Sum)) << n;
    EXPECT_EQ(RuntimeService(n, 40, 2), 0) << n;
  }
}

TEST(Services, AllocateReleaseAndArrays) {
  EXPECT_EQ(RuntimeService(2024, -1, 1), 0) << "a non-zero flag answers null instead of ending the program";
  auto p = RuntimeService(2024, 16, 0);
  ASSERT_NE(p, 0);
  EXPECT_EQ(RuntimeService(2025, p, 0), 0);

  // An array of texts or byte sets owns its elements, one of numbers only its
  // block: ASan catches a number freed, LSan an element left behind.
  struct Array {
    std::int32_t d, n;
    void* e[2];
  };
  auto array = [](void* a, void* b) {
    auto* arr = static_cast<Array*>(Allocate(sizeof(Array)));
    *arr = {1, 2, {a, b}};
    return reinterpret_cast<std::intptr_t>(arr);
  };
  EXPECT_EQ(RuntimeService(2023, kTypeText | kArrayFlag, array(CopyText("a"), CopyText("b"))), 0);
  RuntimeService(2023, kTypeByteSet | kArrayFlag, array(MakeByteSet("a", 1), MakeByteSet("b", 1)));
  RuntimeService(2023, kTypeLong | kArrayFlag, array(reinterpret_cast<void*>(16), reinterpret_cast<void*>(32)));
  EXPECT_EQ(RuntimeService(1999, 0, 0), 0) << "unknown services answer 0";
}

// A header as words: the dimension count, the sizes, then `tail` zero bytes.
std::vector<std::uint8_t> Header(std::vector<std::int32_t> words, std::size_t tail = 0) {
  std::vector<std::uint8_t> b(4 * words.size() + tail);
  std::memcpy(b.data(), words.data(), 4 * words.size());
  return b;
}

TEST(ArrayBlock, ReadsDimensionsSizesCountAndElements) {
  auto grid = Header({2, 3, 4}, 24);
  ArrayBlock a;
  ASSERT_TRUE(ReadArrayBlock(grid.data(), 2, &a));
  EXPECT_EQ(a.dimensions, 2);
  EXPECT_EQ(a.Size(0), 3);
  EXPECT_EQ(a.Size(1), 4);
  EXPECT_EQ(a.count, 12);
  EXPECT_EQ(a.bytes, 24);
  EXPECT_EQ(a.elements - grid.data(), 12) << "elements follow the sizes";
  auto empty = Header({1, 0});
  ASSERT_TRUE(ReadArrayBlock(empty.data(), 8, &a));
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.bytes, 0);
}

TEST(ArrayBlock, RefusesHeadersThatNoAllocationCouldCarry) {
  ArrayBlock a;
  EXPECT_FALSE(ReadArrayBlock(nullptr, 1, &a));
  auto one = Header({1, 5}, 5);
  EXPECT_FALSE(ReadArrayBlock(one.data(), 0, &a)) << "no element width";
  for (std::int32_t d : {0, -1, kMaxArrayDimensions + 1}) {
    std::vector<std::int32_t> words(static_cast<std::size_t>(d > 0 ? d + 1 : 1), 1);
    words[0] = d;
    auto b = Header(words);
    EXPECT_FALSE(ReadArrayBlock(b.data(), 1, &a)) << "dimension count " << d;
  }
  std::vector<std::int32_t> most(kMaxArrayDimensions + 1, 1);
  most[0] = kMaxArrayDimensions;
  auto deepest = Header(most);
  EXPECT_TRUE(ReadArrayBlock(deepest.data(), 1, &a)) << "the deepest array allowed";
  auto negative = Header({2, 3, -1});
  EXPECT_FALSE(ReadArrayBlock(negative.data(), 1, &a));
  // The header and the elements must fit a 32-bit block: with 4-byte
  // elements after an 8-byte header the last count that fits is this one.
  const std::int32_t largest = (INT32_MAX - 8) / 4;
  auto fits = Header({1, largest});
  ASSERT_TRUE(ReadArrayBlock(fits.data(), 4, &a));
  EXPECT_EQ(a.bytes, static_cast<std::int64_t>(largest) * 4);
  auto beyond = Header({1, largest + 1});
  EXPECT_FALSE(ReadArrayBlock(beyond.data(), 4, &a));
  // A product that would wrap a 64-bit count on the way.
  auto wraps = Header({4, INT32_MAX, INT32_MAX, INT32_MAX, 0});
  EXPECT_FALSE(ReadArrayBlock(wraps.data(), 1, &a));
}

TEST(Services, ArrayWithABrokenHeaderFreesOnlyItsBlock) {
  // The element slot holds no allocation: freeing it would be caught by ASan.
  struct {
    std::int32_t d, n1, n2;
    void* e;
  } * arr = static_cast<decltype(arr)>(Allocate(sizeof *arr));
  arr->d = 2;
  arr->n1 = INT32_MAX;
  arr->n2 = INT32_MAX;
  arr->e = reinterpret_cast<void*>(std::uintptr_t{0x10});
  RuntimeService(2023, kTypeText | kArrayFlag, reinterpret_cast<std::intptr_t>(arr));  // LSan proves the block freed
}

// The report names the size and carries no code line: allocation failures are reported with code 0.
TEST(FatalReportDeathTest, AllocationFailureEndsWithMinusOne) {
  EXPECT_EXIT(Allocate(-1), testing::ExitedWithCode(255), "!\r\n\r\n[^\r\n]* -1 [^\r\n]*\r\n$");
  platform::seam::HeapLimit exhausted(1);
  void* p = Allocate(8);
  EXPECT_EXIT(Reallocate(p, 16), testing::ExitedWithCode(255), " 16 ");
  Release(p);
}

TEST(FatalReportDeathTest, FatalAndEndServicesEndTheProgram) {
  EXPECT_EXIT(RuntimeService(2027, reinterpret_cast<std::intptr_t>("gone"), 0), testing::ExitedWithCode(255),
              "!\r\n\r\n[^\r\n]*gone\r\n$");
  EXPECT_EXIT(RuntimeService(2028, 3, 0), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(RuntimeService(2024, -1, 0), testing::ExitedWithCode(255), " -1 ");
}

// A count whose block (count plus NUL, header or length table) no longer fits
// a 32-bit size is a failed request, reported at the largest size; it must not
// wrap to a negative or small size. The bytes are never read: the request fails
// first.
TEST(FatalReportDeathTest, CountsBeyondA32BitSizeFailInsteadOfWrapping) {
  EXPECT_EXIT(MakeText(kEmptyText, INT32_MAX), testing::ExitedWithCode(255), " 2147483647 ");
  EXPECT_EXIT(MakeByteSet(kEmptyText, INT32_MAX - 7), testing::ExitedWithCode(255), " 2147483647 ");
  const char* one[] = {"a"};
  EXPECT_EXIT(JoinTexts(INT32_MAX / 4 + 1, one), testing::ExitedWithCode(255), " 2147483647 ");
}

TEST(FatalReportDeathTest, ServicesRefuseSizesWiderThan32Bits) {
  if constexpr (sizeof(std::intptr_t) > 4) {
    const std::intptr_t wide = (std::intptr_t{1} << 32) | 16;  // low half alone would be 16 bytes
    EXPECT_EQ(RuntimeService(2024, wide, 1), 0) << "a non-zero flag answers null";
    EXPECT_EQ(RuntimeService(2024, -wide, 1), 0);
    EXPECT_EXIT(RuntimeService(2024, wide, 0), testing::ExitedWithCode(255), " 2147483647 ");
    EXPECT_EXIT(RuntimeService(2026, 0, wide), testing::ExitedWithCode(255), " 2147483647 ");
    void* p = Allocate(4);
    EXPECT_EXIT(RuntimeService(2026, reinterpret_cast<std::intptr_t>(p), wide), testing::ExitedWithCode(255),
                " 2147483647 ");
    Release(p);
  }
}

}  // namespace
}  // namespace bv

// The download buffer: order kept across growth, a refused growth keeps what
// is held, and the hand-over as a byte set.
#include "runtime/page_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "runtime/posix/heap_seam.h"
#include "runtime/value.h"

namespace {

// What the buffer holds, taken as its byte set and put back.
std::string Contents(bv::PageBuffer& b) {
  std::uint8_t* set = b.TakeByteSet();
  std::string bytes(reinterpret_cast<const char*>(bv::ByteSetData(set)), static_cast<size_t>(bv::ByteSetLength(set)));
  bv::Release(set);
  EXPECT_TRUE(b.Append(bytes.data(), static_cast<std::int32_t>(bytes.size())));
  return bytes;
}

// The capacity a buffer reaches after appends of `chunk` bytes until it holds
// `total`, with `announced` expected.
std::int32_t CapacityAfter(long long total, std::int32_t chunk, long long announced, std::int32_t* worst_excess) {
  std::int32_t capacity = 0;
  *worst_excess = 0;
  for (long long held = chunk; held <= total; held += chunk) {
    const auto need = static_cast<std::int32_t>(held);
    if (need > capacity) capacity = bv::GrownCapacity(capacity, need, announced, bv::PageBuffer::kLargest);
    *worst_excess = std::max(*worst_excess, static_cast<std::int32_t>(capacity - 2LL * need));
  }
  return capacity;
}

std::string Chunk(int size, int seed) {
  std::string s(static_cast<size_t>(size), '\0');
  for (int i = 0; i < size; ++i) s[static_cast<size_t>(i)] = static_cast<char>((i * 7 + seed * 13) & 0xFF);
  return s;
}

TEST(PageBuffer, ChunksStayWholeAndInOrderAcrossGrowth) {
  bv::PageBuffer b;
  std::string expected;
  // Sizes straddle the first capacity and several doublings.
  for (int i = 0; i < 40; ++i) {
    std::string c = Chunk(1 + (i * 977) % 10241, i);
    ASSERT_TRUE(b.Append(c.data(), static_cast<std::int32_t>(c.size())));
    expected += c;
  }
  EXPECT_TRUE(Contents(b) == expected);
}

TEST(PageBuffer, GrowthBeyondTheLargestIsRefusedAndKeepsWhatIsHeld) {
  bv::PageBuffer b(10);
  EXPECT_TRUE(b.Append("abcdef", 6));
  EXPECT_FALSE(b.Append("ghijk", 5));
  EXPECT_EQ(Contents(b), "abcdef");
  EXPECT_TRUE(b.Append("ghij", 4));  // exactly the largest fits
  EXPECT_EQ(Contents(b), "abcdefghij");
  EXPECT_FALSE(b.Append("k", 1));
  EXPECT_EQ(Contents(b), "abcdefghij");
}

// Memory running out refuses the append and keeps what is held; when only
// the exact need can be had, that is taken instead of the doubled growth.
TEST(PageBuffer, MemoryRunningShortRefusesOrTakesOnlyTheNeed) {
  bv::PageBuffer b;
  ASSERT_TRUE(b.Append("abc", 3));
  const std::string big = Chunk(5000, 4);  // beyond the first capacity
  {
    bv::platform::seam::HeapLimit none(0);
    EXPECT_FALSE(b.Append(big.data(), 5000));
  }
  {
    bv::platform::seam::HeapLimit tight(-1, 5003 + sizeof(bv::ByteSetHeader));
    EXPECT_TRUE(b.Append(big.data(), 5000));
  }
  EXPECT_TRUE(Contents(b) == "abc" + big);
}

// Lengths near the 32-bit limit must be refused, not wrap around.
TEST(PageBuffer, HugeAppendIsRefusedWithoutOverflow) {
  bv::PageBuffer b;
  ASSERT_TRUE(b.Append("xy", 2));
  EXPECT_FALSE(b.Append("z", 0x7FFFFFFF));
  EXPECT_FALSE(b.Append("z", -1));
  EXPECT_TRUE(b.Append("z", 0));
  EXPECT_EQ(Contents(b), "xy");
  // Growth next to the largest page is clipped to it, never wrapped.
  const std::int32_t half = bv::PageBuffer::kLargest / 2;
  EXPECT_EQ(bv::GrownCapacity(half, half + 1, 0, bv::PageBuffer::kLargest), 2 * half);
  EXPECT_EQ(bv::GrownCapacity(1 << 30, (1 << 30) + 1, 0, bv::PageBuffer::kLargest), bv::PageBuffer::kLargest);
}

// A server may announce far more than it sends: the buffer must grow with
// what arrives, never with what was promised.
TEST(PageBuffer, OverstatedLengthCostsNoMoreThanTwiceWhatArrivedPlusSlack) {
  std::int32_t excess = 0;
  CapacityAfter(10, 10, 200000000, &excess);
  EXPECT_LE(excess, bv::kGrowthSlack);
  CapacityAfter(40 * 102400, 102400, 200000000, &excess);
  EXPECT_LE(excess, bv::kGrowthSlack);
}

// A page that arrives as announced ends in a block of exactly its size, and
// one that outgrows its announcement keeps growing.
TEST(PageBuffer, AnnouncedLengthCapsGrowthUntilOutgrown) {
  std::int32_t excess = 0;
  const std::int32_t capacity = CapacityAfter(3000000, 100000, 3000000, &excess);
  EXPECT_EQ(capacity, 3000000);
  EXPECT_GT(bv::GrownCapacity(capacity, 3000004, 3000000, bv::PageBuffer::kLargest), 3000004);

  bv::PageBuffer b;
  b.Expect(3000000);
  std::string c = Chunk(100000, 2), expected;
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(b.Append(c.data(), 100000));
    expected += c;
  }
  ASSERT_TRUE(b.Append("tail", 4));
  expected += "tail";
  EXPECT_TRUE(Contents(b) == expected);

  bv::PageBuffer small;  // announced far below the growth slack
  small.Expect(1000);
  ASSERT_TRUE(small.Append(c.data(), 100));
  ASSERT_TRUE(small.Append(c.data() + 100, 900));
  EXPECT_TRUE(Contents(small) == c.substr(0, 1000));
}

TEST(PageBuffer, UnusableAnnouncementsAreIgnored) {
  for (long long announced : {-5LL, 0LL, 101LL, 1LL << 40}) {
    bv::PageBuffer b(100);
    b.Expect(announced);
    std::string c = Chunk(100, 3);
    ASSERT_TRUE(b.Append(c.data(), 60)) << announced;
    ASSERT_TRUE(b.Append(c.data() + 60, 40)) << announced;
    EXPECT_TRUE(Contents(b) == c) << announced;
  }
}

TEST(AnnouncedLength, ReadAsDecimalWithinItsBytes) {
  struct Case {
    std::string text;
    long long want;
  } cases[] = {{"10", 10},         {"  \t42", 42},       {"+7", 7},        {"-3", -3},
               {"12abc", 12},      {"abc", 0},           {"", 0},          {" + 5", 0},
               {"007", 7},         {"99999999999999999999", 9999999999999LL}};
  for (const Case& c : cases)
    EXPECT_EQ(bv::ReadAnnouncedLength(c.text.data(), c.text.size()), c.want) << "\"" << c.text << "\"";
  // Reading stops at the size given, NUL or not, and at a NUL within it.
  EXPECT_EQ(bv::ReadAnnouncedLength("12345", 3), 123);
  EXPECT_EQ(bv::ReadAnnouncedLength("12\0" "45", 5), 12);
}

TEST(AnnouncedLength, ReadSizeTakesAWholeSmallBodyInOneRead) {
  EXPECT_EQ(bv::ChooseReadSize(-1), bv::kUnannouncedReadSize);
  EXPECT_EQ(bv::ChooseReadSize(0), bv::kUnannouncedReadSize);
  EXPECT_EQ(bv::ChooseReadSize(1), 2);
  EXPECT_EQ(bv::ChooseReadSize(102398), 102399);
  EXPECT_EQ(bv::ChooseReadSize(102399), 102400);
  EXPECT_EQ(bv::ChooseReadSize(102400), bv::kLargestReadSize);
  EXPECT_EQ(bv::ChooseReadSize(1LL << 40), bv::kLargestReadSize);
}

TEST(PageBuffer, TakeByteSetHandsOverTheBytesAndEmpties) {
  bv::PageBuffer b;
  EXPECT_EQ(b.TakeByteSet(), nullptr) << "an empty page is the empty byte set";
  std::string c = Chunk(5000, 9);
  c[10] = '\0';  // NULs are data
  ASSERT_TRUE(b.Append(c.data(), 5000));
  std::uint8_t* set = b.TakeByteSet();
  ASSERT_NE(set, nullptr);
  std::int32_t dims;
  std::memcpy(&dims, set, sizeof dims);
  EXPECT_EQ(dims, 1);
  EXPECT_EQ(bv::ByteSetLength(set), 5000);
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(bv::ByteSetData(set)), 5000) == c);
  EXPECT_EQ(b.TakeByteSet(), nullptr);
  bv::Release(set);
  // The buffer is usable again after the hand-over.
  ASSERT_TRUE(b.Append("again", 5));
  EXPECT_EQ(Contents(b), "again");
}

}  // namespace

// The download buffer: order kept across growth, a refused growth keeps what
// is held, and the hand-over as a byte set.
#include "runtime/page_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/value.h"

namespace {

std::string Contents(const bv::PageBuffer& b) {
  return std::string(reinterpret_cast<const char*>(b.data()), static_cast<size_t>(b.length()));
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
  ASSERT_EQ(b.length(), static_cast<std::int32_t>(expected.size()));
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
  EXPECT_EQ(b.length(), 10);
}

// Lengths near the 32-bit limit must be refused, not wrap around.
TEST(PageBuffer, HugeAppendIsRefusedWithoutOverflow) {
  bv::PageBuffer b;
  ASSERT_TRUE(b.Append("xy", 2));
  EXPECT_FALSE(b.Append("z", 0x7FFFFFFF));
  EXPECT_FALSE(b.Append("z", -1));
  EXPECT_TRUE(b.Append("z", 0));
  EXPECT_EQ(Contents(b), "xy");
}

TEST(PageBuffer, ReserveIsOnlyAHint) {
  bv::PageBuffer b(100);
  b.Reserve(1000);  // beyond the largest: ignored
  b.Reserve(50);
  EXPECT_EQ(b.length(), 0);
  std::string c = Chunk(80, 3);
  ASSERT_TRUE(b.Append(c.data(), 80));  // past the reservation, still within the largest
  b.Reserve(10);                        // smaller than held: nothing lost
  EXPECT_TRUE(Contents(b) == c);
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
  EXPECT_EQ(b.length(), 0);
  EXPECT_EQ(b.TakeByteSet(), nullptr);
  bv::Release(set);
  // The buffer is usable again after the hand-over.
  ASSERT_TRUE(b.Append("again", 5));
  EXPECT_EQ(Contents(b), "again");
}

}  // namespace

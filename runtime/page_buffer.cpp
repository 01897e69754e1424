#include "runtime/page_buffer.h"

#include <algorithm>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/value.h"

namespace bv {

namespace {
constexpr std::int32_t kHead = static_cast<std::int32_t>(sizeof(ByteSetHeader));
}

PageBuffer::~PageBuffer() { Release(block_); }

// A new block and a copy rather than a resize: a resize that moves the block
// copies just the same, and Wine's heap resizes at twice the cost of an
// allocation and a copy (growing to a 10 MB page: 11.5 ms against 6). A
// failed allocation leaves the old block and its bytes in place.
bool PageBuffer::GrowTo(std::int32_t capacity) {
  auto* grown = static_cast<std::uint8_t*>(TryAllocate(capacity + kHead));
  if (!grown) return false;
  if (block_) std::memcpy(grown + kHead, block_ + kHead, static_cast<std::size_t>(length_));
  Release(block_);
  block_ = grown;
  capacity_ = capacity;
  return true;
}

long long ReadAnnouncedLength(const char* text, std::size_t size) {
  std::size_t at = 0;
  auto next = [&] { return at < size ? text[at] : '\0'; };
  while (next() == ' ' || next() == '\t') ++at;
  bool negative = false;
  if (next() == '+' || next() == '-') negative = text[at++] == '-';
  long long n = 0;
  for (; next() >= '0' && next() <= '9'; ++at) {
    if (n < 1000000000000LL) n = n * 10 + (text[at] - '0');
  }
  return negative ? -n : n;
}

std::int32_t ChooseReadSize(long long announced) {
  if (announced <= 0) return kUnannouncedReadSize;
  return announced >= kLargestReadSize ? kLargestReadSize : static_cast<std::int32_t>(announced + 1);
}

std::int32_t GrownCapacity(std::int32_t capacity, std::int32_t need, long long announced, std::int32_t largest) {
  const long long expected = announced > 0 && announced <= largest ? announced : 0;
  if (expected >= need) return static_cast<std::int32_t>(std::min<long long>(2LL * need + kGrowthSlack, expected));
  std::int32_t grown = capacity < 4096 ? 4096 : capacity;
  while (grown < need) grown = grown > largest / 2 ? largest : grown * 2;
  return grown;
}

bool PageBuffer::Append(const void* bytes, std::int32_t n) {
  if (n <= 0) return n == 0;
  if (n > largest_ - length_) return false;
  const std::int32_t need = length_ + n;
  if (need > capacity_) {
    // When memory is short the exact need is tried too.
    const std::int32_t grown = GrownCapacity(capacity_, need, announced_, largest_);
    if (!GrowTo(grown) && !(grown > need && GrowTo(need))) return false;
  }
  std::memcpy(block_ + kHead + length_, bytes, static_cast<std::size_t>(n));
  length_ = need;
  return true;
}

std::uint8_t* PageBuffer::TakeByteSet() {
  if (length_ == 0) return nullptr;
  const ByteSetHeader head{1, length_};
  std::memcpy(block_, &head, sizeof head);
  // Give back what doubling left unused; a refused shrink keeps the block.
  if (capacity_ > length_)
    if (void* shrunk = platform::HeapResize(block_, static_cast<std::size_t>(length_) + kHead)) block_ = static_cast<std::uint8_t*>(shrunk);
  std::uint8_t* set = block_;
  block_ = nullptr;
  length_ = capacity_ = 0;
  return set;
}

}  // namespace bv

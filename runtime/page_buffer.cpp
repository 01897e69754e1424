#include "runtime/page_buffer.h"

#include <cstring>

#include "runtime/platform.h"
#include "runtime/value.h"

namespace bv {

PageBuffer::~PageBuffer() { Release(data_); }

// A failed resize leaves the old block and its bytes in place.
std::uint8_t* PageBuffer::Grow(std::int32_t size) {
  if (!data_) return static_cast<std::uint8_t*>(TryAllocate(size));
  return static_cast<std::uint8_t*>(platform::HeapResize(data_, static_cast<std::size_t>(size)));
}

bool PageBuffer::Append(const void* bytes, std::int32_t n) {
  if (n <= 0) return n == 0;
  if (n > largest_ - length_) return false;
  const std::int32_t need = length_ + n;
  if (need > capacity_) {
    // Doubling keeps a long download linear; the last step is clipped to the
    // largest size rather than refused.
    std::int32_t grown = capacity_ < 4096 ? 4096 : capacity_;
    while (grown < need) grown = grown > largest_ / 2 ? largest_ : grown * 2;
    if (grown > largest_) grown = largest_;
    auto* block = Grow(grown);
    if (!block && grown > need) block = Grow(grown = need);
    if (!block) return false;
    data_ = block;
    capacity_ = grown;
  }
  std::memcpy(data_ + length_, bytes, static_cast<std::size_t>(n));
  length_ = need;
  return true;
}

}  // namespace bv

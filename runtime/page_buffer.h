// A growable byte buffer that reports, instead of ending the program, when it
// cannot grow: a download that outgrows memory (or the largest byte set) keeps
// what it already holds and stops there.
#pragma once

#include <cstdint>

namespace bv {

class PageBuffer {
 public:
  // A byte set's length is a 32-bit count and its block carries an 8-byte
  // head, so no page may hold more than this.
  static constexpr std::int32_t kLargest = 0x7FFFFFFF - 8;

  explicit PageBuffer(std::int32_t largest = kLargest) : largest_(largest) {}
  ~PageBuffer();
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  // Appends n bytes; false (contents unchanged) when the buffer cannot grow.
  bool Append(const void* bytes, std::int32_t n);
  void Clear() { length_ = 0; }

  const std::uint8_t* data() const { return data_; }
  std::int32_t length() const { return length_; }

 private:
  std::uint8_t* Grow(std::int32_t size);

  std::uint8_t* data_ = nullptr;
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
  std::int32_t largest_;
};

}  // namespace bv

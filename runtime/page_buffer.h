// A growable byte buffer that reports, instead of ending the program, when it
// cannot grow: a download that outgrows memory (or the largest byte set) keeps
// what it already holds and stops there. Its block is laid out as a byte set
// from the start, so the finished page is handed over without a copy.
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
  // Makes room for n bytes in all if memory allows; a hint, never a failure.
  void Reserve(std::int32_t n);

  const std::uint8_t* data() const;
  std::int32_t length() const { return length_; }

  // The contents as a new byte set owned by the caller (null when empty);
  // the buffer is empty afterwards.
  std::uint8_t* TakeByteSet();

 private:
  bool GrowTo(std::int32_t capacity);

  std::uint8_t* block_ = nullptr;  // byte-set head, then the bytes
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
  std::int32_t largest_;
};

}  // namespace bv

// A growable byte buffer that reports, instead of ending the program, when it
// cannot grow: a download that outgrows memory (or the largest byte set) keeps
// what it already holds and stops there. Its block is laid out as a byte set
// from the start, so the finished page is handed over without a copy.
//
// Also the two readings of a response's announced length that decide how a
// download is read: both take what a server sends, so both are portable and
// checked on hostile input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bv {

// The Content-Length text (the `size` bytes at `text`, a NUL ending it
// earlier) read as a decimal number: leading blanks and one sign allowed,
// reading stops at the first other character. Large values stop growing at
// 13 digits instead of overflowing.
long long ReadAnnouncedLength(const char* text, std::size_t size);

// Bytes asked for by each read: 10240 without a usable announced length, else
// the announced length plus one (so that a single read takes the whole body),
// at most 102400.
inline constexpr std::int32_t kUnannouncedReadSize = 10240;
inline constexpr std::int32_t kLargestReadSize = 102400;
std::int32_t ChooseReadSize(long long announced);

// The capacity a page of `capacity` bytes grows to when it must hold `need`
// bytes, no page holding more than `largest`. Doubling keeps a long download
// linear, its last step clipped to `largest`. Towards an announced length
// (one above 0 and within `largest`) that the page has not outgrown, each
// step goes as far as the bound allows but never past it, so fewer and larger
// steps are copied and a page that arrives whole is never shrunk; that bound
// is twice `need` plus kGrowthSlack, whatever was announced, so a server that
// announces much and sends little costs little.
inline constexpr std::int32_t kGrowthSlack = (1 << 16) - 8;  // with the byte-set head, 64 KiB
std::int32_t GrownCapacity(std::int32_t capacity, std::int32_t need, long long announced, std::int32_t largest);

class PageBuffer {
 public:
  // A byte set's length is a 32-bit count and its block carries an 8-byte
  // head, so no page may hold more than this.
  static constexpr std::int32_t kLargest = INT32_MAX - 8;

  explicit PageBuffer(std::int32_t largest = kLargest) : largest_(largest) {}
  ~PageBuffer();
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  // Appends n bytes; false (contents unchanged) when the buffer cannot grow.
  bool Append(const void* bytes, std::int32_t n);
  // The length a server announced, which growth aims at (GrownCapacity).
  void Expect(long long announced) { announced_ = announced; }

  // The contents as a new byte set owned by the caller (null when empty);
  // the buffer is empty afterwards.
  std::uint8_t* TakeByteSet();

 private:
  bool GrowTo(std::int32_t capacity);

  std::uint8_t* block_ = nullptr;  // byte-set head, then the bytes
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
  long long announced_ = 0;
  std::int32_t largest_;
};

}  // namespace bv

// What a server announces and sends: the Content-Length reading against a
// plain reading of the same bytes, the read size chosen from it, and a page
// buffer fed the announced length and chunks of the sizes given, which must
// hold the bytes exactly and never grow past twice what arrived plus the
// growth slack.
//
// Input: a length byte n, then n bytes of header text, then a byte for the
// buffer's largest size, then chunk sizes (two bytes each).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/page_buffer.h"
#include "runtime/value.h"

namespace {

void Fail(const char* what, const std::string& text, long long value) {
  std::fprintf(stderr, "%s: \"%s\" gave %lld\n", what, text.c_str(), value);
  std::abort();
}

// The rule as written: the text ends at its size or its first NUL; blanks and
// tabs, one sign, then digits; the value stops growing at 13 digits.
long long Reference(const std::string& bytes) {
  const std::string s = bytes.substr(0, bytes.find('\0'));
  std::size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  long long n = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) n = n < 1000000000000LL ? n * 10 + (s[i] - '0') : n;
  return negative ? -n : n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t n = std::min<std::size_t>(data[0], size - 1);
  const std::string text(reinterpret_cast<const char*>(data + 1), n);
  data += 1 + n;
  size -= 1 + n;

  // Exactly n bytes on the heap: the reading must not look past them.
  std::unique_ptr<char[]> exact(new char[n ? n : 1]);
  std::memcpy(exact.get(), text.data(), n);
  const long long announced = bv::ReadAnnouncedLength(exact.get(), n);
  if (announced != Reference(text)) Fail("announced length differs from the plain reading", text, announced);

  const std::int32_t read_size = bv::ChooseReadSize(announced);
  const std::int32_t want = announced <= 0                    ? bv::kUnannouncedReadSize
                            : announced >= bv::kLargestReadSize ? bv::kLargestReadSize
                                                                : static_cast<std::int32_t>(announced + 1);
  if (read_size != want) Fail("read size", text, read_size);

  // The page: a largest size from tiny to unlimited, the announced length,
  // then the chunks; at most 64 KiB in all to keep runs quick.
  std::int32_t largest = bv::PageBuffer::kLargest;
  if (size >= 1) {
    if (data[0] < 0xF0) largest = 1 + data[0] * 997;
    ++data;
    --size;
  }
  bv::PageBuffer page(largest);
  page.Expect(announced);
  std::string held;
  static const std::string source = [] {
    std::string s(1 << 12, '\0');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 131 + (i >> 9));
    return s;
  }();
  std::int32_t capacity = 0;  // as the page's growth makes it
  for (std::size_t at = 0; at + 2 <= size && held.size() < (64u << 10); at += 2) {
    const std::size_t chunk = data[at] | (data[at + 1] & 0x0F) << 8;  // up to 4 KiB
    const std::size_t from = (at * 7919) % (source.size() - chunk + 1);
    const bool fits = static_cast<long long>(held.size() + chunk) <= largest;
    if (page.Append(source.data() + from, static_cast<std::int32_t>(chunk)) != fits)
      Fail("append answered wrongly", text, static_cast<long long>(chunk));
    if (!fits) continue;
    held.append(source, from, chunk);
    const auto need = static_cast<std::int32_t>(held.size());
    if (need > capacity) capacity = bv::GrownCapacity(capacity, need, announced, largest);
    if (capacity < need) Fail("growth falls short of the need", text, capacity);
    if (capacity > 2LL * need + bv::kGrowthSlack) Fail("the buffer outgrew what arrived", text, capacity);
  }
  std::uint8_t* set = page.TakeByteSet();
  if (held.empty() ? set != nullptr
                   : bv::ByteSetLength(set) != static_cast<std::int32_t>(held.size()) ||
                         std::memcmp(bv::ByteSetData(set), held.data(), held.size()) != 0)
    Fail("the byte set differs from the page", text, bv::ByteSetLength(set));
  bv::Release(set);
  return 0;
}

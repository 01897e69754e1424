// ToText (and ToByteSet) of byte sets and arrays made from the input, each
// block exactly as large as its header says: the text is the bytes up to the
// first NUL (null when that is nothing), the byte set of an array is its
// element bytes, and text and byte set convert into each other byte for byte.
//
// Input: a mode byte; for a byte set the rest is its bytes; for an array the
// low bits pick the element type, then a dimension count byte, four bytes per
// dimension size (small unless the top bit of the size's first byte is set),
// then element bytes, repeated as needed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/text_commands.h"
#include "runtime/value.h"
#include "tests/native/value_records.h"

namespace {

void Fail(const char* what, std::size_t n) {
  std::fprintf(stderr, "%s (%zu bytes)\n", what, n);
  std::abort();
}

// The text of `bytes` as ToText must give it.
std::string UpToNul(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

void CheckText(const char* got, const std::string& want, const char* what) {
  if (want.empty() ? got != nullptr : (!got || want != got)) Fail(what, want.size());
}

void CheckByteSet(const std::uint8_t* got, const std::string& want, const char* what) {
  if (want.empty() ? got != nullptr
                   : !got || bv::ByteSetLength(got) != static_cast<std::int32_t>(want.size()) ||
                         std::memcmp(bv::ByteSetData(got), want.data(), want.size()) != 0)
    Fail(what, want.size());
}

void CheckByteSetValue(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // A block of exactly head plus bytes; an empty byte set is null.
  std::uint8_t* set = size ? bv::MakeByteSet(data, static_cast<std::int32_t>(size)) : nullptr;
  char* text = bv::Call(bv::ToText, {bv::ValueRecord::ByteSetOf(set)}).AsText();
  CheckText(text, UpToNul(bytes), "ToText of a byte set");
  // Text to byte set and back again is exact.
  std::uint8_t* again = bv::Call(bv::ToByteSet, {bv::ValueRecord::TextOf(text)}).AsByteSet();
  CheckByteSet(again, UpToNul(bytes), "ToByteSet of that text");
  char* text_again = bv::Call(bv::ToText, {bv::ValueRecord::ByteSetOf(again)}).AsText();
  CheckText(text_again, UpToNul(bytes), "ToText of that byte set");
  bv::Release(text_again);
  bv::Release(again);
  bv::Release(text);
  bv::Release(set);
}

constexpr bv::TypeCode kElementTypes[] = {bv::kTypeByte,     bv::kTypeShort, bv::kTypeInt,  bv::kTypeLong,
                                          bv::kTypeFloat,    bv::kTypeDouble, bv::kTypeBool, bv::kTypeDateTime,
                                          bv::kTypeText,     bv::kTypeByteSet, 0x80000701,    bv::kTypeNone,
                                          bv::UnitTypeCode(0, 1), 0x40000001,  bv::kTypeSubroutine, 0x80000001};

void CheckArray(std::uint8_t mode, const std::uint8_t* data, std::size_t size) {
  const bv::TypeCode element = kElementTypes[(mode >> 1) % 16];
  if (size < 1) return;
  const std::int32_t dims = static_cast<std::int8_t>(data[0]);  // -128 to 127
  ++data;
  --size;
  std::vector<std::int32_t> sizes;
  long long count = 1;
  bool overflow = false;
  for (std::int32_t i = 0; i < dims && i < 80; ++i) {
    std::uint8_t b[4] = {};
    for (int k = 0; k < 4 && size; ++k, ++data, --size) b[k] = *data;
    std::int32_t n = (b[0] & 0x80) ? static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24)
                                   : b[0] % 8;
    sizes.push_back(n);
    // No header beyond 2^40 elements is usable; the product stops there.
    if (n < 0 || (n > 0 && count > (1LL << 40) / n)) overflow = true;
    if (!overflow) count *= n;
  }
  const int width = bv::NumericWidth(element);
  const bool usable = width > 0 && dims >= 1 && dims <= 64 && !overflow && count * width <= 0x7FFFFFFF - 16;
  // A header this program could hold is built with its elements; larger
  // ones, which ToText must refuse without reading on, get the header alone.
  const long long element_bytes = usable ? count * width : 0;
  if (element_bytes > (1 << 20)) return;
  const std::size_t head = 4 + 4 * sizes.size();
  std::string block(head + static_cast<std::size_t>(element_bytes), '\0');
  std::memcpy(block.data(), &dims, 4);
  if (!sizes.empty()) std::memcpy(block.data() + 4, sizes.data(), 4 * sizes.size());
  for (long long i = 0; i < element_bytes; ++i) block[head + i] = size ? static_cast<char>(data[i % size]) : 'e';
  std::uint8_t* exact = static_cast<std::uint8_t*>(bv::Allocate(static_cast<std::int32_t>(block.size())));
  std::memcpy(exact, block.data(), block.size());
  // A header that claims more dimensions than written never gets here:
  // sizes holds every one of them unless dims is out of range anyway.
  const bv::ValueRecord array = bvtest::Array(element, exact);
  const std::string elements = block.substr(head);

  char* text = bv::Call(bv::ToText, {array}).AsText();
  CheckText(text, usable ? UpToNul(elements) : std::string(), "ToText of an array");
  std::uint8_t* set = bv::Call(bv::ToByteSet, {array}).AsByteSet();
  CheckByteSet(set, usable ? elements : std::string(), "ToByteSet of an array");
  bv::Release(set);
  bv::Release(text);
  bv::Release(exact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1) CheckArray(data[0], data + 1, size - 1);
  else CheckByteSetValue(data + 1, size - 1);
  return 0;
}

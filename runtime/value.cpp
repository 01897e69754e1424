#include "runtime/value.h"

#include <array>
#include <cstdio>

#include "runtime/fatal.h"
#include "runtime/platform.h"
#include "runtime/texts.h"

namespace bv {

const char kEmptyText[1] = {0};
const std::int32_t kEmptyByteSet[2] = {1, 0};

namespace {

struct Range {
  const std::uint8_t* start;
  const std::uint8_t* end;  // exclusive
};

// Written at start-up only, read afterwards; a handful of ranges at most.
constexpr std::size_t kMaxRanges = 16;
std::array<Range, kMaxRanges> g_ranges;
std::size_t g_range_count = 0;

const Range* FindRange(const void* p) {
  auto b = static_cast<const std::uint8_t*>(p);
  auto in = [b](const Range& r) { return r.start <= b && b < r.end; };
  static const Range kBuiltIn[] = {
      {reinterpret_cast<const std::uint8_t*>(kEmptyText), reinterpret_cast<const std::uint8_t*>(kEmptyText) + 1},
      {reinterpret_cast<const std::uint8_t*>(kEmptyByteSet),
       reinterpret_cast<const std::uint8_t*>(kEmptyByteSet) + sizeof kEmptyByteSet},
  };
  for (const Range& r : kBuiltIn)
    if (in(r)) return &r;
  for (std::size_t i = 0; i < g_range_count; ++i)
    if (in(g_ranges[i])) return &g_ranges[i];
  return nullptr;
}

}  // namespace

void AllocationFailed(std::int32_t size) {
  char message[64];
  std::snprintf(message, sizeof message, texts::kAllocationFailed, size);
  FatalRuntimeError(message, 0);
}

void RegisterConstantRange(const void* start, std::ptrdiff_t size) {
  if (size <= 0 || !start || g_range_count == kMaxRanges) return;
  auto s = static_cast<const std::uint8_t*>(start);
  g_ranges[g_range_count++] = {s, s + size};
}

bool IsConstant(const void* p) { return p && FindRange(p); }

void* TryAllocate(std::int32_t size) {
  if (size < 0) return nullptr;
  return platform::HeapGet(static_cast<std::size_t>(size));
}

void* Allocate(std::int32_t size) {
  void* p = TryAllocate(size);
  if (!p) AllocationFailed(size);
  return p;
}

void Release(const void* p) {
  if (!p || IsConstant(p)) return;
  platform::HeapPut(const_cast<void*>(p));
}

void* Reallocate(void* p, std::int32_t size) {
  if (!p) return Allocate(size);
  if (size < 0) AllocationFailed(size);
  if (const Range* r = FindRange(p)) {
    auto b = static_cast<const std::uint8_t*>(p);
    void* copy = Allocate(size);
    std::size_t keep = static_cast<std::size_t>(r->end - b);
    std::memcpy(copy, b, keep < static_cast<std::size_t>(size) ? keep : static_cast<std::size_t>(size));
    return copy;
  }
  void* q = platform::HeapResize(p, static_cast<std::size_t>(size));
  if (!q) AllocationFailed(size);
  return q;
}

bool ReadArrayBlock(const void* block, std::int32_t width, ArrayBlock* out) {
  if (!block || width < 1) return false;
  ArrayBlock a;
  a.block = static_cast<const std::uint8_t*>(block);
  std::memcpy(&a.dimensions, a.block, sizeof a.dimensions);
  if (a.dimensions < 1 || a.dimensions > kMaxArrayDimensions) return false;
  const std::int64_t header = 4 + 4 * static_cast<std::int64_t>(a.dimensions);
  const std::int64_t room = (INT32_MAX - header) / width;  // elements that still fit a 32-bit block
  a.count = 1;
  for (std::int32_t i = 0; i < a.dimensions; ++i) {
    const std::int32_t n = a.Size(i);
    if (n < 0) return false;
    a.count *= n;
    if (a.count > room) return false;
  }
  a.bytes = a.count * width;
  a.elements = a.block + header;
  *out = a;
  return true;
}

std::int32_t TextLen(const char* t) { return t ? static_cast<std::int32_t>(std::strlen(t)) : 0; }

char* MakeText(const void* bytes, std::int32_t n) {
  if (n < 1) return nullptr;
  // n + 1 must still be a 32-bit count; beyond it the request fails like any
  // other that is too large, instead of wrapping to a negative size.
  if (n == INT32_MAX) AllocationFailed(INT32_MAX);
  auto t = static_cast<char*>(Allocate(n + 1));
  std::memcpy(t, bytes, static_cast<std::size_t>(n));
  t[n] = '\0';
  return t;
}

char* CopyText(const char* t) { return MakeText(t, TextLen(t)); }

std::uint8_t* MakeByteSet(const void* bytes, std::int32_t n) {
  if (n <= 0) return nullptr;
  // A byte set's header must fit in the 32-bit size as well (a text of nearly
  // 2 GiB turned into bytes would otherwise wrap the count).
  if (n > INT32_MAX - static_cast<std::int32_t>(sizeof(ByteSetHeader))) AllocationFailed(INT32_MAX);
  auto b = static_cast<std::uint8_t*>(Allocate(n + static_cast<std::int32_t>(sizeof(ByteSetHeader))));
  const ByteSetHeader h{1, n};
  std::memcpy(b, &h, sizeof h);
  std::memcpy(b + sizeof h, bytes, static_cast<std::size_t>(n));
  return b;
}

char* JoinTexts(std::int32_t count, const char* const* texts) {
  // Each argument is measured once; the block is allocated once.
  constexpr int kInline = 16;
  std::int32_t inline_lengths[kInline];
  if (count > INT32_MAX / 4) AllocationFailed(INT32_MAX);  // the length table alone exceeds a 32-bit size
  std::int32_t* lengths = count <= kInline ? inline_lengths : static_cast<std::int32_t*>(Allocate(count * 4));
  std::int64_t total = 1;
  for (std::int32_t i = 0; i < count; ++i) {
    lengths[i] = TextLen(texts[i]);
    total += lengths[i];
  }
  if (total > INT32_MAX) AllocationFailed(INT32_MAX);
  auto out = static_cast<char*>(Allocate(static_cast<std::int32_t>(total)));
  char* p = out;
  for (std::int32_t i = 0; i < count; ++i) {
    if (lengths[i]) std::memcpy(p, texts[i], static_cast<std::size_t>(lengths[i]));
    p += lengths[i];
  }
  *p = '\0';
  if (lengths != inline_lengths) Release(lengths);
  return out;
}

char* JoinTexts(std::initializer_list<const char*> texts) {
  return JoinTexts(static_cast<std::int32_t>(texts.size()), texts.begin());
}

}  // namespace bv

#include "runtime/service.h"

#include <array>
#include <cstring>

#include "runtime/fatal.h"
#include "runtime/program.h"
#include "runtime/value.h"

namespace bv {

namespace {

// Service numbers live in two bands: 0..99 (program frame) and 2000..2099
// (runtime); one slot table covers both.
constexpr std::int32_t kFrameBand = 100;
constexpr std::int32_t kRuntimeBase = 2000;
constexpr std::int32_t kRuntimeBand = 100;

int Slot(std::int32_t number) {
  if (number >= 0 && number < kFrameBand) return number;
  if (number >= kRuntimeBase && number < kRuntimeBase + kRuntimeBand) return kFrameBand + number - kRuntimeBase;
  return -1;
}

std::intptr_t ReleaseArrayService(std::intptr_t type, std::intptr_t block) {
  ReleaseArray(static_cast<std::uint32_t>(type), reinterpret_cast<void*>(block));
  return 0;
}
// Sizes are 32-bit counts; a wider argument must fail rather than be cut to
// its low half, which would hand back a block smaller than the one asked for.
bool FitsSize(std::intptr_t size) { return size == static_cast<std::int32_t>(size); }

std::intptr_t AllocateService(std::intptr_t size, std::intptr_t flag) {
  if (!FitsSize(size)) {
    if (flag != 0) return 0;
    AllocationFailed(INT32_MAX);
  }
  auto n = static_cast<std::int32_t>(size);
  return reinterpret_cast<std::intptr_t>(flag == 0 ? Allocate(n) : TryAllocate(n));
}
std::intptr_t ReleaseService(std::intptr_t p, std::intptr_t) {
  Release(reinterpret_cast<void*>(p));
  return 0;
}
std::intptr_t ReallocateService(std::intptr_t p, std::intptr_t size) {
  if (!FitsSize(size)) AllocationFailed(INT32_MAX);
  return reinterpret_cast<std::intptr_t>(Reallocate(reinterpret_cast<void*>(p), static_cast<std::int32_t>(size)));
}
std::intptr_t FatalService(std::intptr_t message, std::intptr_t) {
  FatalRuntimeError(reinterpret_cast<const char*>(message), 0);
}
std::intptr_t EndService(std::intptr_t code, std::intptr_t) { EndProgram(static_cast<int>(code)); }

struct Table {
  std::array<ServiceFn, kFrameBand + kRuntimeBand> slots{};
  Table() {
    slots[Slot(2023)] = ReleaseArrayService;
    slots[Slot(2024)] = AllocateService;
    slots[Slot(2025)] = ReleaseService;
    slots[Slot(2026)] = ReallocateService;
    slots[Slot(2027)] = FatalService;
    slots[Slot(2028)] = EndService;
  }
};

Table& Services() {
  static Table table;
  return table;
}

}  // namespace

std::intptr_t RuntimeService(std::int32_t number, std::intptr_t a, std::intptr_t b) {
  int slot = Slot(number);
  if (slot < 0) return 0;
  ServiceFn fn = Services().slots[slot];
  return fn ? fn(a, b) : 0;
}

bool RegisterService(std::int32_t number, ServiceFn fn) {
  int slot = Slot(number);
  if (slot < 0) return false;
  Services().slots[slot] = fn;
  return true;
}

void ReleaseArray(std::uint32_t type, void* block) {
  if (!block || IsConstant(block)) return;
  TypeCode element = ElementType(type);
  ArrayBlock array;
  // Elements of these types are owned pointers. A header that makes no sense
  // leaves them alone: a leak beats freeing what was never allocated.
  if ((element == kTypeText || element == kTypeByteSet) &&
      ReadArrayBlock(block, static_cast<std::int32_t>(sizeof(void*)), &array)) {
    for (std::int64_t i = 0; i < array.count; ++i) {
      void* e;
      std::memcpy(&e, array.elements + i * static_cast<std::int64_t>(sizeof e), sizeof e);
      Release(e);
    }
  }
  Release(block);
}

}  // namespace bv

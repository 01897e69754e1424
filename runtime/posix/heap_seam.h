// The native tree's heap can be made to run short on demand, so that tests
// reach what the runtime does when memory is exhausted, and it counts its
// blocks, so that tests see what was given back. The product's heap has no
// such seam.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bv::platform::seam {

// Requests after the next `successes` fail (a negative count: none does), and
// so does any request for more than `largest` bytes: HeapGet and HeapResize
// answer null.
void LimitHeap(long successes, std::size_t largest = SIZE_MAX);
// Blocks handed out and not yet given back.
long LiveHeapBlocks();

// The limit while it lives.
struct HeapLimit {
  explicit HeapLimit(long successes, std::size_t largest = SIZE_MAX) { LimitHeap(successes, largest); }
  ~HeapLimit() { LimitHeap(-1); }
  HeapLimit(const HeapLimit&) = delete;
  HeapLimit& operator=(const HeapLimit&) = delete;
};

}  // namespace bv::platform::seam

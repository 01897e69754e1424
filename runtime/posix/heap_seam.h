// The native tree's heap can be made to run out on demand, so that tests reach
// what the runtime does when memory is exhausted, and it counts its blocks, so
// that tests see what was given back. The product's heap has no such seam.
#pragma once

namespace bv::platform::seam {

// Every request after the next `successes` fails (HeapGet and HeapResize
// answer null); a negative count never fails again.
void FailHeapAfter(long successes);
// Blocks handed out and not yet given back.
long LiveHeapBlocks();

// Fails every request while it lives.
struct HeapExhausted {
  explicit HeapExhausted(long successes = 0) { FailHeapAfter(successes); }
  ~HeapExhausted() { FailHeapAfter(-1); }
  HeapExhausted(const HeapExhausted&) = delete;
  HeapExhausted& operator=(const HeapExhausted&) = delete;
};

}  // namespace bv::platform::seam
